#pragma once
// A main window on the offscreen platform with the fakes of the platform layer, a temporary
// application folder and a picture folder inside it.

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/Form1.h"
#include "app/Globals.h"
#include "support/FakePlatform.h"

class Form1Test : public ::testing::Test {
protected:
    testing_support::FakePlatform fake;
    std::unique_ptr<Form1> form;

    Form1Test() {
        resetGlobals();
        fake.screen.picture = QImage(500, 400, QImage::Format_RGB32);
        fake.screen.picture.fill(QColor(10, 20, 30));
    }
    ~Form1Test() override { resetGlobals(); }

    QString pictureFolder() const { return fake.appFolder() + QStringLiteral("/pics/"); }

    // A settings file with the picture folder and the given extra lines.
    void writeSettings(const QByteArray& extra = {}) {
        QDir().mkpath(pictureFolder());
        testing_support::writeFile(fake.iniPath(), "[init]\nmaxpathsize=2\npath=" +
                                                       pictureFolder().toUtf8() + "\n" + extra);
    }

    void start() {
        form = std::make_unique<Form1>();
        form->load();
    }

    QTimer* timer() const { return form->findChild<QTimer*>(QStringLiteral("Timer1")); }
    QPushButton* button() const {
        return form->findChild<QPushButton*>(QStringLiteral("cmdStart"));
    }
    QAction* action(const char* name) const {
        return form->findChild<QAction*>(QString::fromLatin1(name));
    }
    QStringList pictures() const {
        return QDir(pictureFolder()).entryList({QStringLiteral("kcPic*")}, QDir::Files, QDir::Name);
    }
    static QColor color(QWidget* widget, QPalette::ColorRole role) {
        return widget->palette().color(role);
    }
};
