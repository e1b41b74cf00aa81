#include "png/frmPng.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "about/ProgramIcon.h"
#include "folder/PictureFolder.h"
#include "platform/Files.h"
#include "platform/Guard.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "widgets/GaugeLabel.h"
#include "widgets/JapaneseFont.h"
#include "widgets/PictureBox.h"
#include "png/BatchConvert.h"

namespace {

using platform::twipsToPixels;

constexpr double kClientWidth = 4680;
constexpr double kClientHeight = 1770;

const QString kReadyText = QStringLiteral("\"写真\"をpngに圧縮します");
const QString kRunningText = QStringLiteral("\"写真\"をpngに圧縮中");
const QString kConversionFailed = QStringLiteral("png変換でエラーがでました\r\n処理を中止します");

QStringList listBmps(const QString& path) {
    QStringList names;
    for (const platform::FileInfo& file : platform::listFiles(path, folder::kBmpPattern)) {
        names << file.name;
    }
    return names;
}

}  // namespace

// Marks the window as running for as long as a run lasts, however it ends. It watches the window,
// so a window destroyed during a yield is not touched.
class frmPng::RunScope {
public:
    explicit RunScope(frmPng& form) : form_(&form) {
        form.running_ = true;
        form.cmdStart->setEnabled(false);
    }
    ~RunScope() {
        if (form_) {
            form_->running_ = false;
            form_->cmdStart->setEnabled(true);
        }
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    QPointer<frmPng> form_;
};

frmPng::frmPng(const QString& folderPath, QWidget* parent)
    : QDialog(parent,
              // A fixed dialog frame with only a close box.
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                  Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      path_(folderPath) {
    setObjectName(QStringLiteral("frmPng"));
    setWindowTitle(QStringLiteral("png圧縮"));
    setWindowIcon(about::programIcon());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(widgets::gothicFont(9, false));
    Label1->move(twipsToPixels(285), twipsToPixels(180));

    Picture1 = new widgets::PictureBox(this, QRectF(285, 600, 4095, 375),
                                       palette().color(QPalette::Button));
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("圧縮の残り枚数"));

    Label2 = widgets::makeGaugeLabel(Picture1, "Label2");

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsToPixels(285), twipsToPixels(1200), twipsToPixels(1215),
                           twipsToPixels(375));
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdCancel_Click(); }); });

    cmdStart = new QPushButton(QStringLiteral("Start"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twipsToPixels(3165), twipsToPixels(1200), twipsToPixels(1215),
                          twipsToPixels(375));
    cmdStart->setDefault(true);
    connect(cmdStart, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdStart_Click(); }); });

    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    Form_Load();
}

void frmPng::Form_Load() {
    Label1->setText(kReadyText);
    Label1->adjustSize();
    checkNo();
}

void frmPng::checkNo() {
    // A 16-bit count would overflow beyond 32,767 pictures; 32 bits hold any real folder.
    const size_t listed = listBmps(path_).size();
    const int32_t count =
        static_cast<int32_t>(std::min<size_t>(listed, std::numeric_limits<int32_t>::max()));
    mypbar_.Label(Label2);
    mypbar_.Picturebox(Picture1);
    mypbar_.Max(static_cast<float>(count));  // 0 becomes 1: an empty gauge reading 残り0枚
    mypbar_.Min(0);
    mypbar_.Value(static_cast<float>(count));
    if (count == 0) {
        cmdStart->setEnabled(false);
    }
}

void frmPng::cmdStart_Click() {
    // A second run inside the first would convert the same pictures twice.
    if (running_) {
        return;
    }
    Label1->setText(kRunningText);
    Label1->adjustSize();
    // The run's own listing, taken once: pictures stored meanwhile wait for the next run.
    const QStringList names = listBmps(path_);
    const QPointer<frmPng> alive(this);
    bool finished = false;
    {
        const RunScope run(*this);
        finished = convertAll(names);
    }
    if (!alive) {
        return;
    }
    if (finished) {
        closeWindow(Accepted);
    } else if (closeRequested_) {
        closeWindow(Rejected);
    }
}

bool frmPng::convertAll(const QStringList& names) {
    const QPointer<frmPng> alive(this);
    for (const QString& name : names) {
        const QString bmp = path_ + name;
        const batch::Step step = batch::convertOne(bmp);
        switch (step.outcome) {
            case batch::Outcome::Converted:
            case batch::Outcome::Vanished:
                break;
            case batch::Outcome::ConversionFailed:
                platform::ui().msgBox(this, kConversionFailed);
                return false;
            case batch::Outcome::DeletionFailed:
                platform::ui().msgBox(this, bmp + QStringLiteral("を削除できませんでした。\r\n") +
                                                step.reason +
                                                QStringLiteral("\r\n処理を中止します"));
                return false;
        }
        mypbar_.Value(mypbar_.Value() - 1);
        platform::ui().doEvents();
        if (!alive || closeRequested_) {
            return false;
        }
    }
    return true;
}

void frmPng::cmdCancel_Click() {
    if (running_) {
        closeRequested_ = true;  // the run closes the window after the picture in hand
        return;
    }
    closeWindow(Rejected);
}

void frmPng::reject() {
    platform::guarded([this] { cmdCancel_Click(); });
}

void frmPng::closeWindow(DialogCode result) {
    closeRequested_ = false;
    mypbar_.Kill();
    done(result);
}
