#include "settings/FrmOption.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

#include "about/HelpOpener.h"
#include "about/ProgramIcon.h"
#include "folder/PictureFolder.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Guard.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "platform/Folders.h"
#include "settings/Conversions.h"
#include "settings/IniManage.h"
#include "settings/SettingsFile.h"

namespace {

using platform::twipsToPixels;

const QColor kBack(192, 255, 255);

// The numbering in which folder-creation failures are shown: 75 is the path/file access error
// (the dialog stays open so the user can pick another name), 76 path not found.
int creationErrorNumber(platform::FolderCreation outcome) {
    switch (outcome) {
        case platform::FolderCreation::ParentMissing:
            return 76;
        case platform::FolderCreation::NoSpace:
            return 61;
        case platform::FolderCreation::DiskError:
            return 57;
        case platform::FolderCreation::TooManyLinks:
            return 67;
        case platform::FolderCreation::Created:
        case platform::FolderCreation::Refused:
            break;
    }
    return 75;
}

// Fills the widget's own background role: a check box paints its background in the button
// colour, not the window colour.
void setBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void message(QWidget* parent, const QString& text) {
    platform::ui().msgBox(parent, text);
}

// A text box that takes a dropped file or folder in place of its text.
class DropLineEdit : public QLineEdit {
public:
    DropLineEdit(QWidget* parent, FrmOption* dialog) : QLineEdit(parent), dialog_(dialog) {}

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        if (event->mimeData() != nullptr) {
            dialog_->text1_OLEDragDrop(*event->mimeData());
        }
        event->acceptProposedAction();
    }

private:
    FrmOption* dialog_;
};

}  // namespace

FrmOption::FrmOption(QWidget* parent, Settings& settings, int32_t bmpsize, OptionsHost& host)
    : QDialog(parent), settings_(settings), bmpsize_(bmpsize), host_(host) {
    setObjectName(QStringLiteral("FrmOption"));
    setWindowTitle(QStringLiteral("設定"));
    // A fixed dialog frame without a close box; the buttons close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(about::programIcon());
    setBackground(this, kBack);

    auto place = [](QWidget* w, double left, double top, double width, double height) {
        w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                       twipsToPixels(height));
    };
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    Label1 = new QLabel(QStringLiteral("画像を保存するフォルダ"), this);
    place(named(Label1, "Label1"), 120, 120, 4000, 255);
    Text1 = new DropLineEdit(this, this);
    place(named(Text1, "Text1"), 120, 405, 6255, 315);
    Text1->setAccessibleName(QStringLiteral("画像を保存するフォルダ"));
    Label2 = new QLabel(QStringLiteral("画像ファイルの最大容量"), this);
    place(named(Label2, "Label2"), 120, 900, 4000, 255);
    Text2 = new QLineEdit(QStringLiteral("1"), this);
    place(named(Text2, "Text2"), 120, 1185, 1095, 315);
    Text2->setAccessibleName(QStringLiteral("画像ファイルの最大容量"));
    Label3 = new QLabel(QStringLiteral("メガバイト"), this);
    place(named(Label3, "Label3"), 1320, 1230, 900, 255);
    Label4 = new QLabel(this);
    place(named(Label4, "Label4"), 2280, 1230, 4095, 255);

    Check1 = new QCheckBox(QStringLiteral("撮影中はぽすぺをアクティブにする"), this);
    place(named(Check1, "Check1"), 120, 1740, 4335, 315);
    Check2 = new QCheckBox(QStringLiteral("フォルダが一杯になったら停止する"), this);
    place(named(Check2, "Check2"), 120, 2175, 4335, 315);
    Check3 = new QCheckBox(QStringLiteral("圧縮しながら保存する"), this);
    place(named(Check3, "Check3"), 120, 2610, 4335, 315);
    Label5 = new QLabel(QStringLiteral("撮影間隔"), this);
    place(named(Label5, "Label5"), 120, 3105, 900, 255);
    Text3 = new QLineEdit(this);
    place(named(Text3, "Text3"), 1080, 3060, 735, 315);
    Text3->setAccessibleName(QStringLiteral("撮影間隔"));
    Label6 = new QLabel(QStringLiteral("秒"), this);
    place(named(Label6, "Label6"), 1920, 3105, 600, 255);
    Check4 = new QCheckBox(QStringLiteral("前と同じ画面は保存しない"), this);
    place(named(Check4, "Check4"), 120, 3495, 4335, 315);
    for (QCheckBox* box : {Check1, Check2, Check3, Check4}) {
        setBackground(box, kBack);
    }

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    place(named(Command1, "Command1"), 4815, 1695, 1560, 375);
    Command1->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    place(named(cmdCancel, "cmdCancel"), 4815, 2130, 1560, 375);
    cmdHelp = new QPushButton(QStringLiteral("ヘルプ"), this);
    place(named(cmdHelp, "cmdHelp"), 4815, 2565, 1560, 375);

    setFixedSize(twipsToPixels(6495), twipsToPixels(3930));
    QWidget::setTabOrder(Text1, Text2);
    QWidget::setTabOrder(Text2, Command1);
    QWidget::setTabOrder(Command1, Check1);
    QWidget::setTabOrder(Check1, Check2);
    QWidget::setTabOrder(Check2, cmdCancel);
    QWidget::setTabOrder(cmdCancel, Check3);
    QWidget::setTabOrder(Check3, cmdHelp);
    QWidget::setTabOrder(cmdHelp, Text3);
    QWidget::setTabOrder(Text3, Check4);

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    Text3->installEventFilter(this);
    connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
    connect(Check3, &QCheckBox::toggled, this, [this] { Check3_Click(); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { Command1_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdCancel_Click(); }); });
    connect(cmdHelp, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdHelp_Click(); }); });

    Form_Load();
}

void FrmOption::Form_Load() {
    Text1->setText(settings_.path);
    Text2->setText(QString::number(settings_.maxpathsize));
    Check1->setChecked(settings_.kcactive);
    Check2->setChecked(settings_.stopiffull);
    Check3->setChecked(settings_.runpng);
    Text3->setText(QString::number(settings_.interval));
    Check4->setChecked(settings_.skipsame);
    if (!host_.CheckPngDll()) {
        Check3->setEnabled(false);
    }
    Text2_Change();
}

double FrmOption::leadingNumber(const QString& text) {
    // Reads like a person would type a number: blanks anywhere are skipped, and reading stops
    // at the first character that cannot continue the number.
    QString digits;
    bool seenDigit = false;
    bool seenPoint = false;
    for (const QChar c : settings::halfWidthDigits(text)) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            continue;
        }
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && digits.isEmpty()) {
            digits += c;
        } else if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            seenDigit = true;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            digits += c;
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit) {
        return 0;
    }
    return digits.toDouble();
}

QString FrmOption::estimateText(double megabytes, int64_t shotSize) {
    const double count = std::floor(megabytes * 1048576.0 / static_cast<double>(shotSize));
    return QStringLiteral("(約") + QString::number(count, 'f', 0) +
           QStringLiteral("枚　写真が撮れます)");
}

int32_t FrmOption::storedSize(double megabytes) {
    const double whole = std::floor(megabytes);
    if (!(whole >= 1)) {
        return 1;
    }
    if (whole > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(whole);
}

std::optional<int32_t> FrmOption::typedInterval(const QString& text) {
    // Full-width digits, as a Japanese input method types them, count as ASCII ones.
    const QString digits = settings::halfWidthDigits(text).trimmed();
    bool ok = false;
    const int value = digits.toInt(&ok);
    const bool plain = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!ok || !plain || value < kIntervalMin || value > kIntervalMax) {
        return std::nullopt;
    }
    return value;
}

QString FrmOption::addroot(const QString& folder) {
    QString result = folder;
    while (result.endsWith(QLatin1Char('/'))) {
        result.chop(1);
    }
    return result + QLatin1Char('/');
}

void FrmOption::Text2_Change() {
    const int64_t shot = folder::shotSize(Check3->isChecked(), bmpsize_);
    Label4->setText(estimateText(leadingNumber(Text2->text()), shot));
}

void FrmOption::Check3_Click() {
    Text2_Change();
}

bool FrmOption::eventFilter(QObject* watched, QEvent* event) {
    // Enter never puts anything into the boxes: it goes to the dialog, which presses OK,
    // the default button.
    if ((watched == Text1 || watched == Text2 || watched == Text3) &&
        event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            keyPressEvent(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmOption::text1_OLEDragDrop(const QMimeData& data) {
    if (!data.hasUrls()) {
        return;
    }
    const QList<QUrl> urls = data.urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        Text1->setText(urls.first().toLocalFile());
    }
}

bool FrmOption::ensureFolder(const QString& folderWithSlash) {
    // The folder itself: without its final "/", except the root, which is "/" itself.
    const QString folder =
        folderWithSlash.size() > 1 ? folderWithSlash.chopped(1) : folderWithSlash;
    platform::PathKind kind = platform::PathKind::Missing;
    try {
        kind = platform::pathKind(folder);
    } catch (const platform::Error& e) {
        message(this, folder + QStringLiteral("フォルダがあるかどうか調べられません。\r\n") +
                          e.message() + QStringLiteral("\r\nフォルダ名を変えて下さい"));
        return false;
    }
    switch (kind) {
        case platform::PathKind::Folder:
            return true;
        case platform::PathKind::NotFolder:
            message(this, folderWithSlash + QStringLiteral("フォルダがありません"));
            return false;
        case platform::PathKind::Missing:
            break;
    }
    const QString question = folder + QStringLiteral("フォルダがありません\r\n\r\n") + folder +
                             QStringLiteral("フォルダを作ってもよろしいですか？");
    if (platform::ui().msgBox(this, question, platform::Buttons::OkCancel) !=
        platform::Answer::Ok) {
        return false;
    }
    const platform::FolderCreation outcome = platform::makeFolder(folder);
    if (outcome == platform::FolderCreation::Created) {
        return true;
    }
    const int number = creationErrorNumber(outcome);
    if (number == 75) {
        message(this,
                folder + QStringLiteral("フォルダが作れません。\r\nフォルダ名を変えて下さい"));
        return false;
    }
    message(this, QStringLiteral("エラー　番号 ") + QString::number(number) +
                      QStringLiteral("\r\n異常が起きたので終了します。作者に連絡して下さい"));
    platform::ui().endProgram(1);
    return false;  // the program has ended
}

void FrmOption::Command1_Click() {
    if (Text1->text().trimmed().isEmpty()) {
        message(this, QStringLiteral("画像を保存するフォルダを入力して下さい"));
        return;
    }
    // Checked before a folder may be created, so that a wrong interval changes nothing.
    const std::optional<int32_t> interval = typedInterval(Text3->text());
    if (!interval) {
        message(this, QStringLiteral("撮影間隔には %1 から %2 までの秒数を入力して下さい")
                          .arg(kIntervalMin)
                          .arg(kIntervalMax));
        Text3->setFocus();
        return;
    }
    // The in-memory folder changes only once it has passed its checks.
    const QString newPath = addroot(Text1->text());
    if (!ensureFolder(newPath)) {
        return;
    }
    settings_.path = newPath;
    settings_.maxpathsize = storedSize(leadingNumber(Text2->text()));
    settings_.kcactive = Check1->isChecked();
    settings_.stopiffull = Check2->isChecked();
    settings_.runpng = Check3->isChecked();
    settings_.interval = *interval;
    settings_.skipsame = Check4->isChecked();

    host_.setGaugeVisible(settings_.stopiffull);
    if (settings_.runpng) {
        host_.setPngMenuEnabled(false);
    } else {
        host_.CheckPngDll();
    }

    try {
        settings::saveOptions(settings_);
    } catch (const platform::Error& e) {
        // The new settings hold until the program ends; only the file keeps the old ones.
        message(nullptr, e.message());
    }
    accept();
}

void FrmOption::cmdCancel_Click() {
    if (!platform::isPlainFile(IniManage::iniPath())) {
        message(this, QStringLiteral("設定して下さい"));
        return;
    }
    QDialog::reject();
}

void FrmOption::reject() {
    platform::guarded([this] { cmdCancel_Click(); });
}

void FrmOption::cmdHelp_Click() {
    about::openOptionsHelp(this);
}
