#include "FakePortal.h"

#include <unistd.h>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include "platform/Errors.h"
#include "platform/wayland/CaptureOpening.h"

namespace testing_support {
namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");

QString senderPart(const QString& sender) {
    return QString(sender).remove(QLatin1Char(':')).replace(QLatin1Char('.'), QLatin1Char('_'));
}

}  // namespace

bool FakePortal::registerOnBus() {
    connection_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                QStringLiteral("koroncam-fake-portal"));
    registered_ = connection_.isConnected() &&
                  connection_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")) &&
                  connection_.registerVirtualObject(kPortalPath, this, QDBusConnection::SubPath);
    return registered_;
}

FakePortal::~FakePortal() {
    if (connection_.isConnected()) {
        connection_.unregisterObject(kPortalPath, QDBusConnection::UnregisterTree);
        connection_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("koroncam-fake-portal"));
}

QVariantMap FakePortal::resultsFor(const QString& method, const QString& sender,
                                   const QVariantMap& options) const {
    if (method == QLatin1String("CreateSession")) {
        return {{QStringLiteral("session_handle"),
                 kPortalPath + QStringLiteral("/session/") + senderPart(sender) + QLatin1Char('/') +
                     options.value(QStringLiteral("session_handle_token")).toString()}};
    }
    if (method == QLatin1String("Start")) {
        return startResults;
    }
    if (method == QLatin1String("Screenshot")) {
        return {{QStringLiteral("uri"), screenshotUri}};
    }
    return {};
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    Call call{message.path(), message.interface(), message.member(), message.arguments(), {}};
    const auto fail = [&](const char* name) {
        calls.push_back(call);
        connection.send(
            message.createErrorReply(QString::fromLatin1(name), QStringLiteral("fake")));
        return true;
    };
    if (call.interface == QLatin1String("org.freedesktop.DBus.Properties")) {
        const QString interface = call.arguments.value(0).toString();
        if ((interface == kScreenshot && hasScreenshot) ||
            (interface == kScreenCast && hasScreenCast)) {
            calls.push_back(call);
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(4)))));
            return true;
        }
        return fail("org.freedesktop.DBus.Error.InvalidArgs");
    }
    if ((call.interface == kScreenCast && !hasScreenCast) ||
        (call.interface == kScreenshot && !hasScreenshot)) {
        return fail("org.freedesktop.DBus.Error.UnknownMethod");
    }
    if (call.method == QLatin1String("OpenPipeWireRemote")) {
        calls.push_back(call);
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            return fail("org.freedesktop.DBus.Error.Failed");
        }
        connection.send(message.createReply(
            QVariant::fromValue(QDBusUnixFileDescriptor(pipeEnds[0]))));  // duplicates it
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return true;
    }
    if (call.method == QLatin1String("Close")) {
        calls.push_back(call);
        connection.send(message.createReply());
        return true;
    }
    // A method answered through a Request: the path comes from the caller's token.
    const QVariantMap options =
        qdbus_cast<QVariantMap>(call.arguments.value(call.arguments.size() - 1));
    call.requestPath = kPortalPath + QStringLiteral("/request/") + senderPart(message.service()) +
                       QLatin1Char('/') + options.value(QStringLiteral("handle_token")).toString();
    calls.push_back(call);
    const auto scripted = answers.find(call.method);
    const Answer answer = scripted == answers.end() ? Answer::Success : scripted->second;
    if (answer != Answer::Never) {
        const uint code = answer == Answer::Success ? 0 : answer == Answer::Cancelled ? 1 : 2;
        respond(call.requestPath, code,
                code == 0 ? resultsFor(call.method, message.service(), options) : QVariantMap());
    }
    connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(call.requestPath))));
    return true;
}

void FakePortal::respond(const QString& requestPath, uint response, const QVariantMap& results) {
    QDBusMessage signal = QDBusMessage::createSignal(
        requestPath, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    signal << response << results;
    connection_.send(signal);
}

void FakePortal::closeFromDesktop(const QString& sessionPath) {
    QDBusMessage signal = QDBusMessage::createSignal(
        sessionPath, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
    signal << QVariantMap();
    connection_.send(signal);
}

std::vector<FakePortal::Call> FakePortal::callsOf(const QString& method) const {
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.method == method) {
            found.push_back(call);
        }
    }
    return found;
}

QVariantMap FakePortal::optionsOf(const QString& method) const {
    const auto found = callsOf(method);
    return found.empty() ? QVariantMap()
                         : qdbus_cast<QVariantMap>(
                               found.back().arguments.value(found.back().arguments.size() - 1));
}

bool FakePortal::closed(const QString& objectPath) const {
    for (const Call& call : calls) {
        if (call.method == QLatin1String("Close") && call.path == objectPath) {
            return true;
        }
    }
    return false;
}

void FakeFrameStream::open(int fd, std::uint32_t node) {
    ::close(fd);
    script_.nodes.push_back(node);
    if (!script_.openProblem.isEmpty()) {
        throw platform::Error(script_.openProblem);
    }
}

}  // namespace testing_support
