#include "platform/wayland/WaylandScreen.h"

#include <optional>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QUrl>

#include "platform/wayland/PipeWireStream.h"
#include "platform/wayland/PortalRequest.h"
#include "platform/wayland/WindowActivation.h"

namespace platform::wayland {

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
        done({mode_ != CaptureMode::None, outcome.problem, outcome.restoreToken});
    });
}

void WaylandScreen::closeCapture() {
    if (opening_) {
        opening_->abandon();
        opening_.release()->deleteLater();
    }
    stream_.reset();
    closePortalSession(bus_, sessionPath_);
    mode_ = CaptureMode::None;
}

bool WaylandScreen::pressPrintScreen() {
    picture_ = QImage();  // a failed capture leaves no picture, never an older one
    switch (mode_) {
        case CaptureMode::ScreenCast:
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

QImage WaylandScreen::screenshot() {
    // The window's events run while the desktop takes the picture; the caller's busy flag keeps
    // other pictures out meanwhile.
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
    QImageReader reader(file);
    const QImage image = reader.read();
    if (isDisposable(file) && !QFile::remove(file) && QFileInfo::exists(file)) {
        // A picture left in a temporary folder harms nothing; the desktop reuses or clears it.
        qWarning("KoronCam: cannot remove the screenshot file %s", qPrintable(file));
    }
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

bool WaylandScreen::activateWindow(const QString& title) {
    return activation_.activate && activation_.activate(title);
}

}  // namespace platform::wayland
