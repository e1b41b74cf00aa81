#include "platform/wayland/WaylandScreen.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "platform/wayland/PipeWireStream.h"
#include "platform/wayland/PortalRequest.h"
#include "platform/wayland/WindowActivation.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform::wayland {
namespace {

const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// The clock that stamps files: a file written after this moment never has an older time.
timespec coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool madeBefore(const timespec& stamp, const timespec& moment) {
    return stamp.tv_sec < moment.tv_sec ||
           (stamp.tv_sec == moment.tv_sec && stamp.tv_nsec < moment.tv_nsec);
}

}  // namespace

bool isDisposable(const QString& file) {
    const QString folder = QFileInfo(QFileInfo(file).absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) {
        return false;
    }
    const QStringList roots = {
        QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
    for (const QString& root : roots) {
        const QString canonical = QFileInfo(root).canonicalFilePath();
        if (!canonical.isEmpty() &&
            (folder == canonical || folder.startsWith(canonical + QLatin1Char('/')))) {
            return true;
        }
    }
    return false;
}

WaylandScreen::WaylandScreen(const QDBusConnection& bus, const PortalTimeouts& timeouts,
                             CaptureOpening::StreamFactory makeStream, WindowActivation activation)
    : bus_(bus),
      timeouts_(timeouts),
      makeStream_(std::move(makeStream)),
      activation_(std::move(activation)) {}

WaylandScreen::~WaylandScreen() {
    closeCapture();
}

std::unique_ptr<Screen> WaylandScreen::forSession() {
    return std::make_unique<WaylandScreen>(
        QDBusConnection::sessionBus(), PortalTimeouts{},
        [] { return std::make_unique<PipeWireStream>(); }, windowActivationForSession());
}

void WaylandScreen::openCapture(const QString& restoreToken, OpenedHandler done) {
    closeCapture();
    opening_ = std::make_unique<CaptureOpening>(bus_, timeouts_, makeStream_);
    opening_->start(restoreToken, [this, done](CaptureOpening::Outcome outcome) {
        // The opening is over; it goes once control is back in the event loop, since `done`
        // may start the next one from inside this call.
        opening_.release()->deleteLater();
        mode_ = outcome.mode;
        stream_ = std::move(outcome.stream);
        sessionPath_ = outcome.sessionPath;
        castProblem_ = outcome.castProblem;
        if (!sessionPath_.isEmpty()) {
            bus_.connect(kPortalService, sessionPath_, kSessionInterface, QStringLiteral("Closed"),
                         this, SLOT(onSessionClosed(QVariantMap)));
        }
        done({mode_ != CaptureMode::None, outcome.problem, outcome.restoreToken});
    });
}

void WaylandScreen::closeCapture() {
    if (opening_) {
        opening_->abandon();
        opening_.release()->deleteLater();
    }
    stream_.reset();
    if (!sessionPath_.isEmpty()) {
        bus_.disconnect(kPortalService, sessionPath_, kSessionInterface, QStringLiteral("Closed"),
                        this, SLOT(onSessionClosed(QVariantMap)));
    }
    closePortalSession(bus_, sessionPath_);
    mode_ = CaptureMode::None;
}

void WaylandScreen::onSessionClosed(const QVariantMap&) {
    if (mode_ == CaptureMode::ScreenCast) {
        end(sharingEndedMessage());
    }
}

void WaylandScreen::end(const QString& problem) {
    closeCapture();
    if (ended_) {
        ended_(problem);
    }
}

bool WaylandScreen::pressPrintScreen() {
    picture_ = QImage();  // a failed capture leaves no picture, never an older one
    switch (mode_) {
        case CaptureMode::ScreenCast:
            if (stream_ && !stream_->ended()) {
                waitForFreshFrame();
            }
            if (!stream_) {
                return false;  // closed meanwhile: stopped, or the desktop ended the sharing
            }
            if (stream_->ended()) {  // no picture from a stream that has ended
                end(sharingEndedMessage());
                return false;
            }
            picture_ = stream_->newestFrame();
            break;
        case CaptureMode::Screenshot:
            picture_ = screenshot();
            break;
        case CaptureMode::None:
            break;
    }
    return !picture_.isNull();
}

void WaylandScreen::waitForFreshFrame() {
    // The stream sends at most five frames a second, and only while the screen changes, so the
    // newest may show the screen as it was up to a fifth of a second ago. When frames are coming
    // the next one is due within their spacing: a picture waits for it, so that it shows the
    // screen as it is now. A newest frame older than the spacing means a still screen: no wait.
    constexpr std::int64_t kFreshMs = 40;
    constexpr std::int64_t kSpacingMs = 250;  // a fifth of a second, and some slack
    const FrameStream::Arrivals before = stream_->arrivals();
    if (before.newestAgeMs < kFreshMs || before.newestAgeMs >= kSpacingMs) {
        return;
    }
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!stream_ || stream_->arrivals().count != before.count ||
            before.newestAgeMs + waited.elapsed() >= kSpacingMs) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
}

QImage WaylandScreen::screenshot() {
    // The window's events run while the desktop takes the picture; the caller's busy flag keeps
    // other pictures out meanwhile.
    const timespec began = coarseNow();
    std::optional<PortalAnswer> answer;
    QEventLoop loop;
    PortalRequest* request = PortalRequest::send(
        bus_, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
        {QString()}, {{QStringLiteral("interactive"), false}}, timeouts_.callMs,
        [&](const PortalAnswer& given) {
            answer = given;
            loop.quit();
        });
    if (!answer) {
        loop.exec();
    }
    if (!answer) {
        // The program is closing, which ends every event loop: the answer must no longer reach
        // this frame's variables.
        request->abandon();
        return {};
    }
    if (answer->kind != PortalAnswer::Kind::Success) {
        return {};
    }
    const QUrl uri(answer->results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile()) {
        return {};
    }
    const QString file = uri.toLocalFile();
    const QByteArray name = QFile::encodeName(file);
    struct stat status {};
    // Never through a link: the answer names the file that was made, nothing else is touched.
    const bool plain = lstat(name.constData(), &status) == 0 && S_ISREG(status.st_mode);
    const bool disposable = isDisposable(file);
    QImage image;
    if (plain) {
        if (disposable) {
            // Only the corner is kept: cut out on reading, only it is converted.
            QImageReader reader(file);
            const QSize size = reader.size();
            if (size.isValid()) {
                reader.setClipRect({0, 0, std::min(size.width(), kPictureWidth),
                                    std::min(size.height(), kPictureHeight)});
            }
            image = reader.read();
        }
        // Made for this call, so nobody else's: removed wherever it lies; in a temporary
        // folder it is the desktop's scratch file in any case.
        const bool ours = !madeBefore(status.st_mtim, began) || disposable;
        if (ours && unlink(name.constData()) != 0 && errno != ENOENT) {
            qWarning("KoronCam: cannot remove the screenshot file %s", qPrintable(file));
        }
    }
    if (!disposable) {
        // A desktop that keeps each screenshot in the user's folders (with a flash and a sound)
        // is no stand-in for the stream, a picture a second.
        if (mode_ == CaptureMode::Screenshot) {
            end(screenshotLeavesFilesMessage(castProblem_));
        }
        return {};
    }
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

bool WaylandScreen::activateWindow(const QString& title) {
    return activation_.activate && activation_.activate(title);
}

}  // namespace platform::wayland
