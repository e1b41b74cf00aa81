#include "support/FakePlatform.h"

#include <gtest/gtest.h>
#include <QFile>

#include "pngsaver.h"

namespace testing_support {

platform::Answer FakeUi::msgBox(QWidget*, const QString& text, platform::Buttons buttons,
                                platform::Icon icon, const QString& title) {
    messages.push_back({text, buttons, icon, title.isEmpty() ? platform::kAppTitle : title});
    if (onMessage) {
        onMessage(messages.back());
    }
    if (answers.empty()) {
        return platform::Answer::Ok;
    }
    const platform::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeUi::doEvents() {
    ++doEventsCalls;
    if (onDoEvents) {
        onDoEvents();
    }
}

int FakeUi::showModal(QDialog& dialog) {
    if (onShowModal) {
        return onShowModal(dialog);
    }
    dialog.reject();
    return QDialog::Rejected;
}

void FakeUi::endProgram(int status) {
    endedWith = status;
    throw ProgramEnded{status};
}

void FakeScreen::openCapture(const QString& restoreToken, OpenedHandler done) {
    tokensGiven.push_back(restoreToken);
    if (answerLater) {
        pendingOpen = std::move(done);
        return;
    }
    done({isAvailable, isAvailable ? QString() : problem, isAvailable ? newToken : std::nullopt});
}

void FakeScreen::closeCapture() {
    ++closes;
    pendingOpen = nullptr;
}

bool FakeScreen::pressPrintScreen() {
    ++captures;
    if (!captureWorks || picture.isNull()) {
        captured_ = QImage();
        return false;
    }
    captured_ = picture;
    return true;
}

bool FakeScreen::activateWindow(const QString& title) {
    activated.push_back(title);
    return false;
}

int16_t FakePngLibrary::record(const Call& call) {
    calls.push_back(call);
    if (beforeCall) {
        beforeCall();
    }
    return failWith;
}

int16_t FakePngLibrary::pixelsToPng(const QImage& picture, const QString& pngPath,
                                    const QString& options) {
    if (const int16_t failure = record({QString(), pngPath, options})) {
        return failure;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    return PixelsToPng(rgb.constBits(), uint32_t(rgb.width()), uint32_t(rgb.height()),
                       uint32_t(rgb.bytesPerLine()), pngPath.toUtf8().constData(),
                       options.toUtf8().constData());
}

int16_t FakePngLibrary::bmpToPng(const QString& bmpPath, const QString& pngPath,
                                 const QString& options) {
    if (const int16_t failure = record({bmpPath, pngPath, options})) {
        return failure;
    }
    return BmpToPng(bmpPath.toUtf8().constData(), pngPath.toUtf8().constData(),
                    options.toUtf8().constData());
}

void FakePlatform::install() {
    platform::Services s;
    s.ui = &ui;
    s.clock = &clock;
    s.screen = &screen;
    s.png = &png;
    s.help = &help;
    s.appFolder = appDir.path();
    platform::use(s);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

}  // namespace testing_support
