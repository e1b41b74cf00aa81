#pragma once
// The help viewer: a window of the program that shows an HTML help file lying beside the
// program, its contents for HELP_FINDER and the topic anchored "context-N" for HELP_CONTEXT N.

#include <memory>
#include <QIcon>
#include <QPointer>
#include <QString>

#include "platform/Help.h"

#include <QTextBrowser>
#include <QWidget>

namespace platform {

inline const QString kHelpWindowTitle = QStringLiteral("ころんカメラ ヘルプ");

class HelpViewer : public Help {
public:
    // Help files are looked up in `folder`; when it is empty, in the application folder. The
    // viewer window shows `icon`.
    explicit HelpViewer(QString folder = {}, QIcon icon = {});
    ~HelpViewer() override;
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Reads the file afresh, then shows the one viewer window, raised, at the requested topic.
    // A file that is missing or unreadable is reported in a message box; nothing else happens.
    void show(QWidget* caller, const QString& file, unsigned command, unsigned data) override;

    // The viewer window and its text; null until the first successful request.
    QWidget* window() const { return window_; }
    QTextBrowser* browser() const { return browser_; }

private:
    bool read(QWidget* caller, const QString& path, QString& html);
    void createWindow();
    void goTo(const QString& anchor);

    QString folder_;
    QIcon icon_;
    QPointer<QWidget> window_;
    QPointer<QTextBrowser> browser_;
};

std::unique_ptr<Help> makeHelpViewer(const QIcon& icon);

}  // namespace platform
