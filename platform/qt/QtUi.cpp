#include "platform/qt/QtUi.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QWindow>
#include <QAbstractButton>
#include <QMessageBox>

namespace platform {
namespace {

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

Answer QtUi::msgBox(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
                    const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setIcon(toQt(icon));
    if (buttons == Buttons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void QtUi::doEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtUi::waitUntilShown(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (window.windowHandle() != nullptr && !window.windowHandle()->isExposed() &&
             waited.elapsed() < 2000);
}

int QtUi::showModal(QDialog& dialog) {
    return dialog.exec();
}

void QtUi::endProgram(int status) {
    // Files are written atomically, so nothing is left half-written by ending here, inside
    // whatever modal loops are open.
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace platform
