#include "platform/wayland/CaptureOpening.h"

#include <fcntl.h>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>

#include "platform/Errors.h"
#include "platform/wayland/PortalRequest.h"

namespace platform::wayland {
namespace {

const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
constexpr int kFramePollMs = 20;

// The D-Bus errors that mean no portal runs (not even one that the bus could start).
bool noPortal(const QString& errorName) {
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
           errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"));
}

// The errors of a portal that runs but has no such interface (no backend provides it).
bool noInterface(const QString& errorName) {
    return errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

const QString kInstall = QStringLiteral(
    "Wayland のデスクトップで撮影するには、xdg-desktop-portal と PipeWire、それにデスクトップに"
    "合ったポータル (GNOME は xdg-desktop-portal-gnome、KDE は xdg-desktop-portal-kde、sway など"
    "は xdg-desktop-portal-wlr と xdg-desktop-portal-gtk) を入れて、ログインし直して下さい。\r\n"
    "X11 のセッションでも撮影できます。");

}  // namespace

QString refusedMessage() {
    return QStringLiteral(
        "画面の撮影が許可されませんでした。\r\n"
        "撮影するには、もう一度スタートを押し、デスクトップが出す画面共有の確認で画面を選んで"
        "共有を許可して下さい。");
}

QString timedOutMessage() {
    return QStringLiteral(
        "デスクトップのポータル (xdg-desktop-portal) から返事がなく、撮影を始められませんでした。"
        "\r\nデスクトップが確認の画面を出していたら、それに答えてから、もう一度スタートを押して"
        "下さい。");
}

QString missingMessage(const QString& what) {
    return QStringLiteral("画面を撮影できません。\r\n") + what + QStringLiteral("\r\n") + kInstall;
}

QString sharingEndedMessage() {
    return QStringLiteral(
        "デスクトップが画面の共有を終了したため、撮影を停止しました。\r\n"
        "撮影を続けるには、もう一度スタートを押して下さい。デスクトップが画面の共有を確認したら、"
        "画面を選んで許可して下さい。");
}

QString screenshotLeavesFilesMessage(const QString& castProblem) {
    return QStringLiteral("画面の映像を開けなかったため、撮影を停止しました。\r\n") + castProblem +
           QStringLiteral(
               "\r\n代わりのスクリーンショットは、このデスクトップでは撮るたびに画像をユーザーの"
               "フォルダに残す (画面の点滅や音も出る) ので、それでは撮影しません (残った画像は"
               "消しました)。\r\n"
               "PipeWire と、デスクトップに合ったポータル (GNOME は xdg-desktop-portal-gnome、KDE "
               "は"
               " xdg-desktop-portal-kde) が入って動いているかを確かめ、ログインし直してから、もう"
               "一度スタートを押して下さい。X11 のセッションでも撮影できます。");
}

QDBusArgument& operator<<(QDBusArgument& argument, const PortalStream& stream) {
    argument.beginStructure();
    argument << stream.node << stream.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalStream& stream) {
    argument.beginStructure();
    argument >> stream.node >> stream.properties;
    argument.endStructure();
    return argument;
}

void registerPortalTypes() {
    qDBusRegisterMetaType<PortalStream>();
    qDBusRegisterMetaType<QList<PortalStream>>();
}

CaptureOpening::CaptureOpening(const QDBusConnection& bus, const PortalTimeouts& timeouts,
                               StreamFactory makeStream)
    : bus_(bus), timeouts_(timeouts), makeStream_(std::move(makeStream)) {
    registerPortalTypes();
    frameTimer_.setInterval(kFramePollMs);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        frameWaitedMs_ += kFramePollMs;
        if (!stream_->newestFrame().isNull()) {  // a frame has come, and the stream goes on
            frameTimer_.stop();
            Outcome outcome;
            outcome.mode = CaptureMode::ScreenCast;
            outcome.stream = std::move(stream_);
            outcome.sessionPath = sessionPath_;
            outcome.restoreToken = newToken_;
            finish(std::move(outcome));
        } else if (frameWaitedMs_ >= timeouts_.firstFrameMs) {
            frameTimer_.stop();
            stream_.reset();
            fallBack(Missing::PipeWire,
                     QStringLiteral("PipeWire から画面の映像が届きませんでした。"));
        }
    });
}

CaptureOpening::~CaptureOpening() {
    abandon();
}

void CaptureOpening::start(const QString& restoreToken, Done done) {
    restoreToken_ = restoreToken;
    done_ = std::move(done);
    if (!bus_.isConnected()) {
        // Answered from the event loop, as every other outcome.
        QTimer::singleShot(0, this, [this] {
            finish({CaptureMode::None,
                    nullptr,
                    {},
                    missingMessage(
                        QStringLiteral("デスクトップのセッション バス (D-Bus) につながらず、"
                                       "デスクトップのポータルを呼べません。")),
                    std::nullopt});
        });
        return;
    }
    createSession();
}

PortalRequest* CaptureOpening::ask(const QString& method, const QVariantList& arguments,
                                   const QVariantMap& options, int timeoutMs,
                                   std::function<void(const PortalAnswer&)> next) {
    pending_ = PortalRequest::send(bus_, kScreenCast, method, arguments, options, timeoutMs,
                                   [this, next = std::move(next)](const PortalAnswer& answer) {
                                       pending_ = nullptr;
                                       next(answer);
                                   });
    return pending_;
}

bool CaptureOpening::endsHere(const PortalAnswer& answer) {
    switch (answer.kind) {
        case PortalAnswer::Kind::Cancelled:
            closeSession();
            finish({CaptureMode::None, nullptr, {}, refusedMessage(), newToken_});
            return true;
        case PortalAnswer::Kind::NoAnswer:
            closeSession();
            finish({CaptureMode::None, nullptr, {}, timedOutMessage(), newToken_});
            return true;
        case PortalAnswer::Kind::CallError:
            if (noPortal(answer.errorName)) {
                finish({CaptureMode::None,
                        nullptr,
                        {},
                        missingMessage(QStringLiteral(
                            "デスクトップのポータル (xdg-desktop-portal) が動いていません。")),
                        std::nullopt});
                return true;
            }
            return false;
        case PortalAnswer::Kind::Success:
        case PortalAnswer::Kind::Failed:
            return false;
    }
    return false;
}

void CaptureOpening::createSession() {
    const QString sessionToken = newPortalToken(QStringLiteral("koroncam_session"));
    // Known before the answer, so that giving up early still closes the session.
    sessionPath_ = portalObjectPath(bus_, QStringLiteral("session"), sessionToken);
    ask(QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), sessionToken}}, timeouts_.callMs,
        [this](const PortalAnswer& answer) {
            if (endsHere(answer)) {
                return;
            }
            if (answer.kind == PortalAnswer::Kind::CallError) {
                fallBack(noInterface(answer.errorName) ? Missing::Backend : Missing::CastFailed,
                         answer.errorText);
                return;
            }
            if (answer.kind != PortalAnswer::Kind::Success) {
                fallBack(Missing::CastFailed, {});
                return;
            }
            const QString given = answer.results.value(QStringLiteral("session_handle")).toString();
            if (!given.isEmpty()) {
                sessionPath_ = given;
            }
            selectSources();
        });
}

void CaptureOpening::selectSources() {
    QVariantMap options{
        {QStringLiteral("types"), uint(1)},  // a monitor
        {QStringLiteral("multiple"), false},
        {QStringLiteral("cursor_mode"), uint(1)},   // hidden: the pictures never showed a pointer
        {QStringLiteral("persist_mode"), uint(2)},  // until revoked: no dialog next time
    };
    if (!restoreToken_.isEmpty()) {
        options.insert(QStringLiteral("restore_token"), restoreToken_);
    }
    ask(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(sessionPath_))},
        options, timeouts_.callMs, [this](const PortalAnswer& answer) {
            if (endsHere(answer)) {
                return;
            }
            if (answer.kind != PortalAnswer::Kind::Success) {
                fallBack(Missing::CastFailed, answer.errorText);
                return;
            }
            startCast();
        });
}

void CaptureOpening::startCast() {
    ask(QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString()},
        {}, timeouts_.chooserMs, [this](const PortalAnswer& answer) {
            if (answer.kind == PortalAnswer::Kind::Success) {
                // Kept even when the stream fails below: the permission itself was given.
                newToken_ = answer.results.value(QStringLiteral("restore_token")).toString();
            }
            if (endsHere(answer)) {
                return;
            }
            if (answer.kind != PortalAnswer::Kind::Success) {
                fallBack(Missing::CastFailed, answer.errorText);
                return;
            }
            const auto streams =
                qdbus_cast<QList<PortalStream>>(answer.results.value(QStringLiteral("streams")));
            if (streams.isEmpty()) {
                fallBack(Missing::CastFailed, {});
                return;
            }
            openRemote(streams.front().node);
        });
}

void CaptureOpening::openRemote(uint node) {
    callPortal(bus_, kPortalPath, kScreenCast, QStringLiteral("OpenPipeWireRemote"),
               {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QVariantMap()},
               timeouts_.callMs, this, [this, node](const QDBusMessage& reply) {
                   if (over_) {
                       return;  // given up meanwhile (ストップ): no stream for a closed session
                   }
                   if (reply.type() == QDBusMessage::ErrorMessage) {
                       fallBack(Missing::PipeWire, reply.errorMessage());
                       return;
                   }
                   const auto handle = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
                   const int fd =
                       handle.isValid() ? fcntl(handle.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
                   if (fd < 0) {
                       fallBack(Missing::PipeWire, {});
                       return;
                   }
                   stream_ = makeStream_();
                   try {
                       stream_->open(fd, node);
                   } catch (const Error& e) {
                       stream_.reset();
                       fallBack(Missing::PipeWire, e.message());
                       return;
                   }
                   waitForFirstFrame();
               });
}

void CaptureOpening::waitForFirstFrame() {
    // The first frame comes within a few hundred milliseconds; a still screen sends no more, so
    // the run starts only with one in hand.
    frameWaitedMs_ = 0;
    frameTimer_.start();
}

void CaptureOpening::fallBack(Missing why, const QString& detail) {
    closeSession();
    QString castProblem;  // told only if the Screenshot call cannot serve without harm
    switch (why) {
        case Missing::Backend:
            castProblem = QStringLiteral(
                "デスクトップのポータルに画面を共有する機能 (ScreenCast) がありません。");
            break;
        case Missing::PipeWire:
            castProblem = QStringLiteral("PipeWire から画面の映像を受け取れませんでした。");
            break;
        case Missing::CastFailed:
            castProblem =
                QStringLiteral("デスクトップのポータルが画面の共有を始められませんでした。");
            break;
    }
    if (!detail.isEmpty()) {
        castProblem += QStringLiteral(" (") + detail + QLatin1Char(')');
    }
    callPortal(bus_, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
               QStringLiteral("Get"), {kScreenshot, QStringLiteral("version")}, timeouts_.callMs,
               this, [this, why, detail, castProblem](const QDBusMessage& reply) {
                   if (over_) {
                       return;
                   }
                   if (reply.type() != QDBusMessage::ErrorMessage) {
                       Outcome outcome{CaptureMode::Screenshot, nullptr, {}, {}, newToken_};
                       outcome.castProblem = castProblem;
                       finish(std::move(outcome));
                       return;
                   }
                   QString what;
                   switch (why) {
                       case Missing::Backend:
                           what = QStringLiteral(
                               "デスクトップのポータルに画面を撮影する機能がありません。"
                               "デスクトップに合ったポータルのバックエンドが入っていません。");
                           break;
                       case Missing::PipeWire:
                           what = QStringLiteral("PipeWire から画面の映像を受け取れませんでした。");
                           break;
                       case Missing::CastFailed:
                           what = QStringLiteral(
                               "デスクトップのポータルが画面の共有を始められず、"
                               "スクリーンショットの機能もありません。");
                           break;
                   }
                   if (!detail.isEmpty()) {
                       what += QStringLiteral("\r\n(") + detail + QLatin1Char(')');
                   }
                   finish({CaptureMode::None, nullptr, {}, missingMessage(what), newToken_});
               });
}

void CaptureOpening::closeSession() {
    closePortalSession(bus_, sessionPath_);
}

void CaptureOpening::abandon() {
    if (over_) {
        return;
    }
    over_ = true;
    frameTimer_.stop();
    if (pending_ != nullptr) {
        pending_->abandon();
        pending_ = nullptr;
    }
    stream_.reset();
    closeSession();
}

void CaptureOpening::finish(Outcome outcome) {
    if (over_) {
        return;
    }
    over_ = true;
    done_(std::move(outcome));
}

}  // namespace platform::wayland
