#include "platform/wayland/PortalRequest.h"

#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusObjectPath>

namespace platform::wayland {
namespace {

const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

}  // namespace

QString portalObjectPath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    QString sender = bus.baseService();  // ":1.42" becomes "1_42"
    sender.remove(0, sender.startsWith(QLatin1Char(':')) ? 1 : 0)
        .replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') +
           token;
}

QString newPortalToken(const QString& prefix) {
    static unsigned counter = 0;
    return prefix + QString::number(++counter);
}

PortalRequest::PortalRequest(const QDBusConnection& bus, int timeoutMs, Done done)
    : bus_(bus), done_(std::move(done)) {
    timer_.setSingleShot(true);
    timer_.setInterval(timeoutMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        closeOnPortal();
        finish({PortalAnswer::Kind::NoAnswer, {}, {}, {}});
    });
}

PortalRequest* PortalRequest::send(const QDBusConnection& bus, const QString& interface,
                                   const QString& method, const QVariantList& arguments,
                                   QVariantMap options, int timeoutMs, Done done) {
    auto* request = new PortalRequest(bus, timeoutMs, std::move(done));
    const QString token = newPortalToken(QStringLiteral("koroncam"));
    options.insert(QStringLiteral("handle_token"), token);
    request->listen(portalObjectPath(bus, QStringLiteral("request"), token));
    request->timer_.start();

    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    call.setArguments(QVariantList(arguments) << options);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request, [request, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ErrorMessage) {
            const bool late =
                reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply");
            request->finish({late ? PortalAnswer::Kind::NoAnswer : PortalAnswer::Kind::CallError,
                             {},
                             reply.errorName(),
                             reply.errorMessage()});
            return;
        }
        // A portal older than version 0.9 makes its own path: listen there instead.
        const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
        if (!path.isEmpty() && path != request->path_) {
            request->stopListening();
            request->listen(path);
        }
    });
    return request;
}

void PortalRequest::listen(const QString& path) {
    path_ = path;
    bus_.connect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::stopListening() {
    bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap& results) {
    using Kind = PortalAnswer::Kind;
    const Kind kind = response == 0   ? Kind::Success
                      : response == 1 ? Kind::Cancelled
                                      : Kind::Failed;
    finish({kind, results, {}, {}});
}

void PortalRequest::abandon() {
    if (finished_) {
        return;
    }
    closeOnPortal();
    finished_ = true;
    stopListening();
    timer_.stop();
    deleteLater();
}

void PortalRequest::closeOnPortal() {
    bus_.asyncCall(QDBusMessage::createMethodCall(kPortalService, path_, kRequestInterface,
                                                  QStringLiteral("Close")));
}

void PortalRequest::finish(const PortalAnswer& answer) {
    if (finished_) {
        return;
    }
    finished_ = true;
    stopListening();
    timer_.stop();
    deleteLater();
    done_(answer);
}

void callPortal(const QDBusConnection& bus, const QString& path, const QString& interface,
                const QString& method, const QVariantList& arguments, int timeoutMs,
                QObject* context, std::function<void(const QDBusMessage&)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->reply());
                     });
}

void closePortalSession(const QDBusConnection& bus, QString& path) {
    if (path.isEmpty()) {
        return;
    }
    bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, path,
                                                 QStringLiteral("org.freedesktop.portal.Session"),
                                                 QStringLiteral("Close")));
    path.clear();
}

}  // namespace platform::wayland
