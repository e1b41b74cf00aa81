#include "platform/qt/HelpViewer.h"

#include <utility>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include "platform/Guard.h"
#include "platform/Platform.h"

namespace platform {
namespace {

const QString kContentsAnchor = QStringLiteral("contents");

QString contextAnchor(unsigned context) {
    return QStringLiteral("context-%1").arg(context);
}

bool hasAnchor(const QTextDocument& document, const QString& name) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(name)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

HelpViewer::HelpViewer(QString folder, QIcon icon)
    : folder_(std::move(folder)), icon_(std::move(icon)) {}

HelpViewer::~HelpViewer() {
    // A viewer kept to the end of the process outlives the application, which has torn its
    // windows down by then; deleting the widget after that is not allowed.
    if (QCoreApplication::instance() != nullptr) {
        delete window_;
    }
}

void HelpViewer::show(QWidget* caller, const QString& file, unsigned command, unsigned data) {
    const QString folder = folder_.isEmpty() ? appFolder() : folder_;
    QString html;
    if (!read(caller, folder + QLatin1Char('/') + file, html)) {
        return;
    }
    if (window_ == nullptr) {
        createWindow();
    }
    browser_->setHtml(html);

    // Opened from a modal dialog, the window must stay usable while the dialog is open: a window
    // that belongs to the modal one is not blocked by it.
    QWidget* owner = caller != nullptr ? caller->window() : nullptr;
    window_->winId();
    window_->windowHandle()->setTransientParent(
        owner != nullptr && owner->isModal() ? owner->windowHandle() : nullptr);

    window_->show();
    window_->raise();
    window_->activateWindow();

    const QString topic = contextAnchor(data);
    goTo(command == kHelpContext && hasAnchor(*browser_->document(), topic) ? topic
                                                                            : kContentsAnchor);
}

bool HelpViewer::read(QWidget* caller, const QString& path, QString& html) {
    auto warn = [&](const QString& text) {
        ui().msgBox(caller, text.arg(path), Buttons::Ok, Icon::Warning, kHelpWindowTitle);
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        warn(
            QStringLiteral("ヘルプファイル %1 が見つかりません。\r\n"
                           "ヘルプファイルはプログラムと同じフォルダに置いて下さい。"));
        return false;
    }
    QFile file(path);
    QByteArray bytes;
    if (info.isFile() && file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
    }
    if (!info.isFile() || !file.isOpen() || file.error() != QFileDevice::NoError) {
        warn(
            QStringLiteral("ヘルプファイル %1 を読み込めません。\r\n"
                           "ファイルが読み取れるか確かめて下さい。"));
        return false;
    }
    // The file declares its encoding; ours is UTF-8, which is also the fallback.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringDecoder::Utf8);
    }
    html = decoder.decode(bytes);
    return true;
}

void HelpViewer::createWindow() {
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("helpWindow"));
    window->setWindowTitle(kHelpWindowTitle);
    window->setWindowIcon(icon_);
    // The help does not keep the program running once its main window has closed.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->resize(640, 520);

    auto* contents = new QPushButton(QStringLiteral("目次"), window);
    contents->setObjectName(QStringLiteral("cmdContents"));
    auto* browser = new QTextBrowser(window);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenExternalLinks(true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(contents);
    bar->addStretch(1);
    auto* column = new QVBoxLayout(window);
    column->addLayout(bar);
    column->addWidget(browser, 1);

    QObject::connect(contents, &QPushButton::clicked, window,
                     [this] { guarded([this] { goTo(kContentsAnchor); }); });
    // Deleted while the application still exists, even when this viewer lives longer.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window,
                     &QObject::deleteLater);

    window_ = window;
    browser_ = browser;
}

void HelpViewer::goTo(const QString& anchor) {
    if (anchor == kContentsAnchor) {
        // The contents open the document: show it from its very top, margin included.
        browser_->moveCursor(QTextCursor::Start);
        browser_->verticalScrollBar()->setValue(0);
        return;
    }
    browser_->scrollToAnchor(anchor);
}

std::unique_ptr<Help> makeHelpViewer(const QIcon& icon) {
    return std::make_unique<HelpViewer>(QString(), icon);
}

}  // namespace platform
