#pragma once
// Getting the screen's pictures from the desktop portal for one run of pictures: a ScreenCast
// session with its PipeWire stream, else the Screenshot call, else a message why neither works.

#include <functional>
#include <memory>
#include <optional>
#include <QDBusConnection>
#include <QDBusArgument>
#include <QObject>
#include <QTimer>

#include "platform/wayland/FrameStream.h"

namespace platform::wayland {

class PortalRequest;
struct PortalAnswer;

// One entry of the "streams" that ScreenCast.Start answers with: a PipeWire node and its
// properties, D-Bus type (ua{sv}).
struct PortalStream {
    uint node = 0;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalStream& stream);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalStream& stream);
// Makes PortalStream known to Qt's D-Bus type system; idempotent.
void registerPortalTypes();

struct PortalTimeouts {
    int callMs = 10000;     // every call that needs nobody to answer
    int chooserMs = 60000;  // ScreenCast.Start, where the desktop may ask the user to choose
    int firstFrameMs = 10000;
};

enum class CaptureMode { None, ScreenCast, Screenshot };

class CaptureOpening : public QObject {
    Q_OBJECT
public:
    using StreamFactory = std::function<std::unique_ptr<FrameStream>()>;

    struct Outcome {
        CaptureMode mode = CaptureMode::None;
        std::unique_ptr<FrameStream> stream;  // ScreenCast: the stream, a frame already in
        QString sessionPath;                  // ScreenCast: the session to close at the end
        QString problem;                      // None: what the user is told
        std::optional<QString> restoreToken;  // set once Start has answered
        QString castProblem{};                // Screenshot: why the screen stream did not open
    };
    using Done = std::function<void(Outcome)>;

    CaptureOpening(const QDBusConnection& bus, const PortalTimeouts& timeouts,
                   StreamFactory makeStream);
    ~CaptureOpening() override;

    // Runs the steps; `done` runs once, from the event loop, unless abandon() comes first.
    void start(const QString& restoreToken, Done done);
    // Gives up: the portal closes the pending request and the session; `done` never runs.
    void abandon();

private:
    enum class Missing { Backend, PipeWire, CastFailed };

    void createSession();
    void selectSources();
    void startCast();
    void openRemote(uint node);
    void waitForFirstFrame();
    // ScreenCast cannot serve: the Screenshot call may, else `why` is told.
    void fallBack(Missing why, const QString& detail);
    // A portal answer that ends the opening (refusal, time-out, no portal); false to go on.
    bool endsHere(const PortalAnswer& answer);
    void closeSession();
    void finish(Outcome outcome);
    PortalRequest* ask(const QString& method, const QVariantList& arguments,
                       const QVariantMap& options, int timeoutMs,
                       std::function<void(const PortalAnswer&)> next);

    QDBusConnection bus_;
    PortalTimeouts timeouts_;
    StreamFactory makeStream_;
    QString restoreToken_;
    Done done_;
    QString sessionPath_;  // once CreateSession has answered
    std::optional<QString> newToken_;
    std::unique_ptr<FrameStream> stream_;
    PortalRequest* pending_ = nullptr;
    QTimer frameTimer_;
    int frameWaitedMs_ = 0;
    bool over_ = false;
};

// The messages the user sees when capture on a Wayland desktop fails to open.
QString refusedMessage();
QString timedOutMessage();
QString missingMessage(const QString& what);
// The desktop ended the screen sharing while shooting.
QString sharingEndedMessage();
// The Screenshot call that stands in for the screen stream leaves a file in the user's folders
// each time: shooting stops; `castProblem` says why the stream did not open.
QString screenshotLeavesFilesMessage(const QString& castProblem);

}  // namespace platform::wayland

Q_DECLARE_METATYPE(platform::wayland::PortalStream)
