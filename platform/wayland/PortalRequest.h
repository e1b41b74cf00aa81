#pragma once
// One call of the desktop portal (org.freedesktop.portal.Desktop) and the answer to it.
// Calls that answer later do it through a Request object's Response signal: its path is made
// from our bus name and a token of ours, so we listen before calling and miss nothing.

#include <functional>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

namespace platform::wayland {

inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

struct PortalAnswer {
    enum class Kind {
        Success,    // Response 0
        Cancelled,  // Response 1: the user said no
        Failed,     // Response 2, or any other
        NoAnswer,   // nothing came in time
        CallError,  // the call itself failed (see errorName)
    };
    Kind kind = Kind::Failed;
    QVariantMap results;
    QString errorName;  // a D-Bus error name, for CallError
    QString errorText;
};

// The object path that the portal gives the request or session named `token` of `bus`.
QString portalObjectPath(const QDBusConnection& bus, const QString& kind, const QString& token);
// A token not used before in this process, starting with `prefix`.
QString newPortalToken(const QString& prefix);

class PortalRequest : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const PortalAnswer&)>;

    // Calls `interface`.`method`(`arguments`..., `options` + handle_token) on the portal. `done`
    // runs once, from the event loop, unless abandon() comes first. The object deletes itself
    // after `done` has run.
    static PortalRequest* send(const QDBusConnection& bus, const QString& interface,
                               const QString& method, const QVariantList& arguments,
                               QVariantMap options, int timeoutMs, Done done);

    // Gives up: the portal is asked to close the request (and the dialog it may show), `done`
    // never runs, and the object goes.
    void abandon();

private slots:
    void onResponse(uint response, const QVariantMap& results);

private:
    PortalRequest(const QDBusConnection& bus, int timeoutMs, Done done);
    void listen(const QString& path);
    void stopListening();
    void finish(const PortalAnswer& answer);
    void closeOnPortal();

    QDBusConnection bus_;
    QString path_;  // the Request object listened to
    QTimer timer_;
    Done done_;
    bool finished_ = false;
};

// A plain call of the portal with its reply; `done` gets the reply or the error message (a
// call that gets no reply within `timeoutMs` ends as org.freedesktop.DBus.Error.NoReply).
// `context` going away first means `done` never runs.
void callPortal(const QDBusConnection& bus, const QString& path, const QString& interface,
                const QString& method, const QVariantList& arguments, int timeoutMs,
                QObject* context, std::function<void(const QDBusMessage&)> done);

// Asks the portal to close the session `path` (a ScreenCast session), without waiting; an empty
// path is left alone. Clears `path`.
void closePortalSession(const QDBusConnection& bus, QString& path);

}  // namespace platform::wayland
