#include "viewer/frmView.h"

#include <algorithm>
#include <initializer_list>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "about/ProgramIcon.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "timelapse/PictureReader.h"
#include "viewer/PictureList.h"
#include "viewer/PictureTimes.h"
#include "viewer/ScaledPicture.h"

namespace {

constexpr int kFollowEvery = 1000;  // milliseconds
constexpr int kFrameEvery = 40;     // milliseconds between the pictures of a playback

const QString kNoPictures = QStringLiteral("画像フォルダに写真がありません。");

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    // The keys of the window work wherever the focus is; a button keeps none.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

frmView::frmView(std::function<QString()> picturePath, QWidget* parent)
    : QWidget(parent, Qt::Window), picturePath_(std::move(picturePath)) {
    setObjectName(QStringLiteral("frmView"));
    setWindowTitle(QStringLiteral("ころんカメラ 写真"));
    setWindowIcon(about::programIcon());
    buildControls();
    resize(800, 680);

    tmrFollow = new QTimer(this);
    tmrFollow->setInterval(kFollowEvery);
    connect(tmrFollow, &QTimer::timeout, this,
            [this] { platform::guarded([this] { followFolder(); }); });
    tmrPlay = new QTimer(this);
    tmrPlay->setInterval(kFrameEvery);
    connect(tmrPlay, &QTimer::timeout, this, [this] { platform::guarded([this] { playTick(); }); });
}

frmView::~frmView() = default;

void frmView::buildControls() {
    Picture1 = new viewer::ScaledPicture(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("写真"));

    lblTime = new QLabel(this);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTime->setAccessibleName(QStringLiteral("撮った日時"));
    QFont large = lblTime->font();
    large.setPointSizeF(large.pointSizeF() * 1.3);
    lblTime->setFont(large);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setAccessibleName(QStringLiteral("何枚目か"));
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->hide();

    sldPicture = new QSlider(Qt::Horizontal, this);
    sldPicture->setObjectName(QStringLiteral("sldPicture"));
    sldPicture->setAccessibleName(QStringLiteral("写真の位置"));
    sldPicture->setFocusPolicy(Qt::NoFocus);
    sldPicture->setRange(0, 0);
    connect(sldPicture, &QSlider::valueChanged, this,
            [this](int value) { platform::guarded([this, value] { sldPicture_Change(value); }); });

    cmdFirst =
        makeButton(this, "cmdFirst", QStringLiteral("最初"), QStringLiteral("最初の写真 (Home)"));
    cmdPrevious =
        makeButton(this, "cmdPrevious", QStringLiteral("前へ"), QStringLiteral("前の写真 (←)"));
    cmdPlay = makeButton(this, "cmdPlay", QStringLiteral("再生"),
                         QStringLiteral("再生と一時停止 (スペース)"));
    cmdNext = makeButton(this, "cmdNext", QStringLiteral("次へ"), QStringLiteral("次の写真 (→)"));
    cmdLast =
        makeButton(this, "cmdLast", QStringLiteral("最後"), QStringLiteral("最後の写真 (End)"));
    const std::pair<QPushButton*, void (frmView::*)()> buttons[] = {
        {cmdFirst, &frmView::cmdFirst_Click}, {cmdPrevious, &frmView::cmdPrevious_Click},
        {cmdPlay, &frmView::cmdPlay_Click},   {cmdNext, &frmView::cmdNext_Click},
        {cmdLast, &frmView::cmdLast_Click},
    };

    cboSpeed = new QComboBox(this);
    cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    cboSpeed->setAccessibleName(QStringLiteral("再生の速さ"));
    cboSpeed->setToolTip(QStringLiteral("写真と写真のあいだの時間を縮める倍率"));
    for (const int speed : viewer::kSpeeds) {
        cboSpeed->addItem(QStringLiteral("%1×").arg(speed), speed);
    }
    auto* speedLabel = new QLabel(QStringLiteral("速さ"), this);
    speedLabel->setBuddy(cboSpeed);

    lblRange = new QLabel(this);
    lblRange->setObjectName(QStringLiteral("lblRange"));
    lblRange->setAccessibleName(QStringLiteral("書き出す範囲"));
    cmdFrom = makeButton(this, "cmdFrom", QStringLiteral("ここから"),
                         QStringLiteral("この写真から書き出す"));
    cmdTo = makeButton(this, "cmdTo", QStringLiteral("ここまで"),
                       QStringLiteral("この写真まで書き出す"));
    cmdExport = makeButton(this, "cmdExport", QStringLiteral("動画に書き出す…"),
                           QStringLiteral("範囲の写真を動画にする"));
    const std::pair<QPushButton*, void (frmView::*)()> exportButtons[] = {
        {cmdFrom, &frmView::cmdFrom_Click},
        {cmdTo, &frmView::cmdTo_Click},
        {cmdExport, &frmView::cmdExport_Click},
    };
    for (const auto& [button, handler] : buttons) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); });
    }
    for (const auto& [button, handler] : exportButtons) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); });
        button->hide();
    }
    lblRange->hide();

    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(lblTime, 1);
    timeRow->addWidget(lblCount);
    auto* buttonRow = new QHBoxLayout;
    for (const auto& [button, handler] : buttons) {
        buttonRow->addWidget(button);
    }
    buttonRow->addSpacing(16);
    buttonRow->addWidget(speedLabel);
    buttonRow->addWidget(cboSpeed);
    buttonRow->addStretch(1);
    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(lblRange, 1);
    for (const auto& [button, handler] : exportButtons) {
        exportRow->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picture1, 1);
    layout->addLayout(timeRow);
    layout->addWidget(lblProblem);
    layout->addWidget(sldPicture);
    layout->addLayout(buttonRow);
    layout->addLayout(exportRow);

    addKey(QKeySequence(Qt::Key_Left), &frmView::cmdPrevious_Click);
    addKey(QKeySequence(Qt::Key_Right), &frmView::cmdNext_Click);
    addKey(QKeySequence(Qt::Key_Space), &frmView::cmdPlay_Click);
    addKey(QKeySequence(Qt::Key_Home), &frmView::cmdFirst_Click);
    addKey(QKeySequence(Qt::Key_End), &frmView::cmdLast_Click);
}

void frmView::addKey(const QKeySequence& key, void (frmView::*handler)()) {
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this,
            [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); });
}

void frmView::setExportHandler(ExportHandler handler) {
    exportHandler_ = std::move(handler);
    const bool on = static_cast<bool>(exportHandler_);
    for (QWidget* widget : std::initializer_list<QWidget*>{lblRange, cmdFrom, cmdTo, cmdExport}) {
        widget->setVisible(on);
    }
    showPosition();
}

bool frmView::playing() const {
    return tmrPlay->isActive();
}

int frmView::speed() const {
    return cboSpeed->currentData().toInt();
}

// ---- following the folder ----

void frmView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    platform::guarded([this] { followFolder(); });
    tmrFollow->start();
}

void frmView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A window nobody sees costs nothing.
    tmrFollow->stop();
    setPlaying(false);
}

void frmView::followFolder() {
    QElapsedTimer took;
    took.start();
    const QString path = picturePath_();
    if (path != path_) {
        seenChanges_.reset();
    }
    std::optional<std::vector<timelapse::TimedPicture>> fresh;
    try {
        fresh = viewer::readChangedPictures(path, seenChanges_);
    } catch (const platform::Error& e) {
        // Told in the window, not in a box: it is read again every second.
        lblProblem->setText(e.message());
        lblProblem->show();
        seenChanges_.reset();
        return;
    }
    lblProblem->hide();
    if (fresh) {
        takePictures(path, std::move(*fresh));
    }
    // Following never takes more than a tenth of the time, whatever the folder's size.
    tmrFollow->setInterval(std::max<int>(kFollowEvery, int(took.elapsed()) * 10));
}

void frmView::takePictures(const QString& path, std::vector<timelapse::TimedPicture> fresh) {
    std::optional<timelapse::TimedPicture> shown;
    if (path == path_ && current_ >= 0) {
        shown = pictures_[size_t(current_)];
    } else {
        from_.reset();
        to_.reset();
    }
    path_ = path;
    pictures_ = std::move(fresh);
    if (!shown) {
        // A first look starts at the newest picture.
        current_ = int(pictures_.size()) - 1;
        showCurrent(-1);
    } else {
        const size_t place = viewer::placeOf(pictures_, *shown);
        const bool still = place < pictures_.size() && pictures_[place].file == shown->file;
        current_ = std::min(int(place), int(pictures_.size()) - 1);
        if (still) {
            showPosition();
        } else {
            showCurrent(1);  // the one shown was deleted: the next one takes its place
        }
    }
}

// ---- moving ----

void frmView::moveTo(int index, int direction) {
    if (pictures_.empty()) {
        return;
    }
    current_ = std::clamp(index, 0, int(pictures_.size()) - 1);
    showCurrent(direction);
    if (playing()) {
        playback_.startAt(pictures_, size_t(current_));
    }
}

void frmView::showCurrent(int direction) {
    while (!pictures_.empty()) {
        current_ = std::clamp(current_, 0, int(pictures_.size()) - 1);
        const timelapse::TimedPicture& picture = pictures_[size_t(current_)];
        const QImage image = timelapse::readPicture(picture.file);
        if (!image.isNull()) {
            Picture1->setImage(image);
            break;
        }
        if (QFileInfo::exists(picture.file)) {
            Picture1->setText(QStringLiteral("この写真は読めません。\n%1").arg(picture.file));
            break;
        }
        // Deleted since the last look (the clean-up makes room): skipped without a word.
        pictures_.erase(pictures_.begin() + current_);
        if (direction < 0) {
            --current_;
        }
    }
    if (pictures_.empty()) {
        current_ = -1;
        Picture1->setText(kNoPictures);
    }
    showPosition();
}

// The time, the count, the slider, the buttons and the range, as the pictures now stand.
void frmView::showPosition() {
    const int count = int(pictures_.size());
    const bool any = count > 0;
    {
        const QSignalBlocker quiet(sldPicture);
        sldPicture->setRange(0, std::max(0, count - 1));
        sldPicture->setValue(std::max(0, current_));
        sldPicture->setPageStep(std::max(1, count / 20));
    }
    lblTime->setText(any ? viewer::timeText(pictures_[size_t(current_)].time) : QString());
    lblCount->setText(any ? QStringLiteral("%1 / %2 枚").arg(current_ + 1).arg(count) : QString());
    for (QWidget* widget :
         std::initializer_list<QWidget*>{sldPicture, cmdFirst, cmdPrevious, cmdPlay, cmdNext,
                                         cmdLast, cmdFrom, cmdTo, cmdExport}) {
        widget->setEnabled(any);
    }
    if (!any) {
        setPlaying(false);
        lblRange->setText(QString());
        return;
    }
    const auto [from, to] = exportRange();
    lblRange->setText(QStringLiteral("書き出す範囲: %1 ～ %2 (%3 枚)")
                          .arg(viewer::timeText(pictures_[size_t(from)].time),
                               viewer::timeText(pictures_[size_t(to)].time))
                          .arg(to - from + 1));
}

std::pair<int, int> frmView::exportRange() const {
    const int last = int(pictures_.size()) - 1;
    int from = 0;
    int to = last;
    if (from_) {
        from = std::min(int(viewer::placeOf(pictures_, *from_)), last);
    }
    if (to_) {
        // The chosen last picture, or the one before where it was when it is gone.
        const size_t place = viewer::placeOf(pictures_, *to_);
        const bool still = place <= size_t(last) && pictures_[place].file == to_->file;
        to = std::max(0, int(place) - (still ? 0 : 1));
    }
    return {std::min(from, to), std::max(from, to)};
}

void frmView::cmdFirst_Click() {
    moveTo(0, 1);
}

void frmView::cmdPrevious_Click() {
    moveTo(current_ - 1, -1);
}

void frmView::cmdNext_Click() {
    moveTo(current_ + 1, 1);
}

void frmView::cmdLast_Click() {
    moveTo(int(pictures_.size()) - 1, -1);
}

void frmView::sldPicture_Change(int index) {
    moveTo(index, index < current_ ? -1 : 1);
}

// ---- playing ----

void frmView::cmdPlay_Click() {
    if (pictures_.empty()) {
        return;
    }
    if (!playing() && current_ == int(pictures_.size()) - 1) {
        moveTo(0, 1);  // at the end, playing starts again from the first
    }
    setPlaying(!playing());
}

void frmView::setPlaying(bool on) {
    if (on == playing()) {
        return;
    }
    if (on) {
        playback_.startAt(pictures_, size_t(current_));
        sinceTick_.start();
        tmrPlay->start();
    } else {
        tmrPlay->stop();
    }
    cmdPlay->setText(on ? QStringLiteral("一時停止") : QStringLiteral("再生"));
}

void frmView::playTick() {
    const double elapsed = double(sinceTick_.restart()) / 1000;
    const size_t next = playback_.advance(pictures_, size_t(current_), elapsed, speed());
    if (int(next) != current_) {
        current_ = int(next);
        showCurrent(1);
    }
    if (current_ < 0 || current_ == int(pictures_.size()) - 1) {
        setPlaying(false);
    }
}

// ---- the range and the export ----

void frmView::cmdFrom_Click() {
    if (current_ >= 0) {
        from_ = pictures_[size_t(current_)];
        showPosition();
    }
}

void frmView::cmdTo_Click() {
    if (current_ >= 0) {
        to_ = pictures_[size_t(current_)];
        showPosition();
    }
}

void frmView::cmdExport_Click() {
    if (!exportHandler_ || pictures_.empty()) {
        return;
    }
    setPlaying(false);
    const auto [from, to] = exportRange();
    // A copy: the handler may open a window, and the folder is followed meanwhile.
    const std::vector<timelapse::TimedPicture> pictures = pictures_;
    exportHandler_(pictures, from, to);
}
