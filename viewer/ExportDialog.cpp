#include "viewer/ExportDialog.h"

#include <algorithm>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "about/ProgramIcon.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Platform.h"
#include "platform/VideoFolder.h"
#include "timelapse/VideoName.h"

namespace {

constexpr int kProgressSteps = 1000;
const int kFrameRates[] = {10, 30, 60};

QString playingTime(int64_t frames, int framesPerSecond) {
    const int64_t seconds = (frames + framesPerSecond - 1) / framesPerSecond;
    if (seconds >= 3600) {
        return QStringLiteral("%1時間%2分%3秒")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60)
            .arg(seconds % 60);
    }
    return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
}

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

ExportDialog::ExportDialog(std::vector<timelapse::TimedPicture> pictures, int from, int to,
                           QWidget* parent)
    : QDialog(parent), pictures_(std::move(pictures)), videosFolder_(platform::userVideosFolder()) {
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral("動画に書き出す"));
    setWindowIcon(about::programIcon());

    fromTime = named(new QDateTimeEdit(this), "fromTime");
    toTime = named(new QDateTimeEdit(this), "toTime");
    fromTime->setAccessibleName(QStringLiteral("書き出す範囲の始め"));
    toTime->setAccessibleName(QStringLiteral("書き出す範囲の終わり"));
    for (QDateTimeEdit* edit : {fromTime, toTime}) {
        edit->setTimeSpec(Qt::UTC);
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (!pictures_.empty()) {
            edit->setDateTimeRange(timelapse::asRead(pictures_.front().time),
                                   timelapse::asRead(pictures_.back().time));
        }
    }
    if (!pictures_.empty()) {
        const int last = static_cast<int>(pictures_.size()) - 1;
        fromTime->setDateTime(timelapse::asRead(pictures_[std::clamp(from, 0, last)].time));
        toTime->setDateTime(timelapse::asRead(pictures_[std::clamp(to, 0, last)].time));
    }

    fpsBox = named(new QComboBox(this), "fpsBox");
    fpsBox->setAccessibleName(QStringLiteral("1秒あたりのコマ数"));
    for (const int rate : kFrameRates) {
        fpsBox->addItem(QStringLiteral("%1 コマ/秒").arg(rate), rate);
    }
    fpsBox->setCurrentIndex(1);  // 30

    formatBox = named(new QComboBox(this), "formatBox");
    formatBox->setAccessibleName(QStringLiteral("動画の形式"));
    formatBox->addItem(QStringLiteral("MP4 (H.264、ブラウザやスマートフォンで再生できます)"),
                       static_cast<int>(platform::VideoFormat::Mp4));
    formatBox->addItem(QStringLiteral("WebM (VP9)"), static_cast<int>(platform::VideoFormat::WebM));

    leaveOutGaps = named(new QRadioButton(QStringLiteral("詰める (写真のない時間を飛ばす)"), this),
                         "leaveOutGaps");
    holdGaps = named(new QRadioButton(QStringLiteral("前の写真で埋める (時間が均等に進む)"), this),
                     "holdGaps");
    leaveOutGaps->setChecked(true);

    fileEdit = named(new QLineEdit(this), "fileEdit");
    fileEdit->setAccessibleName(QStringLiteral("動画の保存先"));
    browseButton = named(new QPushButton(QStringLiteral("参照…"), this), "browseButton");

    summaryLabel = named(new QLabel(this), "summaryLabel");
    progressBar = named(new QProgressBar(this), "progressBar");
    progressBar->setAccessibleName(QStringLiteral("書き出しの進み具合"));
    progressBar->setRange(0, kProgressSteps);
    progressBar->setValue(0);
    exportButton = named(new QPushButton(QStringLiteral("書き出す"), this), "exportButton");
    exportButton->setDefault(true);
    cancelButton = named(new QPushButton(QStringLiteral("キャンセル"), this), "cancelButton");
    progressTimer = new QTimer(this);
    progressTimer->setInterval(100);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("始め"), fromTime);
    form->addRow(QStringLiteral("終わり"), toTime);
    form->addRow(QStringLiteral("コマ数"), fpsBox);
    form->addRow(QStringLiteral("形式"), formatBox);
    auto* gapsBox = new QVBoxLayout;
    gapsBox->addWidget(leaveOutGaps);
    gapsBox->addWidget(holdGaps);
    form->addRow(QStringLiteral("空いた時間"), gapsBox);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileEdit, 1);
    fileRow->addWidget(browseButton);
    form->addRow(QStringLiteral("保存先"), fileRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(summaryLabel);
    layout->addWidget(progressBar);
    layout->addLayout(buttons);
    resize(520, sizeHint().height());

    auto handle = [this](void (ExportDialog::*handler)()) {
        return [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(fromTime, &QDateTimeEdit::dateTimeChanged, this, handle(&ExportDialog::rangeChanged));
    connect(toTime, &QDateTimeEdit::dateTimeChanged, this, handle(&ExportDialog::rangeChanged));
    connect(fpsBox, &QComboBox::currentIndexChanged, this, handle(&ExportDialog::optionsChanged));
    connect(formatBox, &QComboBox::currentIndexChanged, this, handle(&ExportDialog::rangeChanged));
    connect(holdGaps, &QRadioButton::toggled, this, handle(&ExportDialog::optionsChanged));
    connect(browseButton, &QPushButton::clicked, this, handle(&ExportDialog::chooseFile));
    connect(exportButton, &QPushButton::clicked, this, handle(&ExportDialog::cmdExport_Click));
    connect(cancelButton, &QPushButton::clicked, this, handle(&ExportDialog::cmdCancel_Click));
    connect(progressTimer, &QTimer::timeout, this, handle(&ExportDialog::showProgress));
    rangeChanged();
}

ExportDialog::~ExportDialog() {
    if (thread_ != nullptr) {
        progress_.cancel = true;
        thread_->wait();  // the worker stops within one picture
        delete thread_;
    }
}

timelapse::Gaps ExportDialog::gaps() const {
    return holdGaps->isChecked() ? timelapse::Gaps::Hold : timelapse::Gaps::LeaveOut;
}

platform::VideoFormat ExportDialog::format() const {
    return static_cast<platform::VideoFormat>(formatBox->currentData().toInt());
}

void ExportDialog::rangeChanged() {
    const auto byTime = [](const timelapse::TimedPicture& picture, int64_t time) {
        return picture.time < time;
    };
    const int64_t fromSeconds = fromTime->dateTime().toSecsSinceEpoch();
    const int64_t toSeconds = toTime->dateTime().toSecsSinceEpoch();
    // The first picture at or after the start, the last at or before the end.
    from_ =
        static_cast<int>(std::lower_bound(pictures_.begin(), pictures_.end(), fromSeconds, byTime) -
                         pictures_.begin());
    to_ = static_cast<int>(
              std::lower_bound(pictures_.begin(), pictures_.end(), toSeconds + 1, byTime) -
              pictures_.begin()) -
          1;
    if (from_ <= to_) {
        const QString offer = videosFolder_ + QLatin1Char('/') +
                              timelapse::videoName(pictures_[from_], pictures_[to_], format());
        // The name follows the range and the format until the user writes one of their own.
        if (fileEdit->text().isEmpty() || fileEdit->text() == offeredFile_) {
            fileEdit->setText(offer);
        }
        offeredFile_ = offer;
    }
    optionsChanged();
}

void ExportDialog::optionsChanged() {
    if (from_ > to_) {
        summaryLabel->setText(pictures_.empty() ? QStringLiteral("書き出す写真がありません。")
                                                : QStringLiteral("この範囲に写真がありません。"));
        framesPlanned_ = 0;
    } else {
        framesPlanned_ =
            timelapse::frameCount(timelapse::planFrames(pictures_, from_, to_, gaps()));
        const int rate = fpsBox->currentData().toInt();
        summaryLabel->setText(QStringLiteral("写真 %1 枚、%2 コマ、再生時間 %3")
                                  .arg(to_ - from_ + 1)
                                  .arg(framesPlanned_)
                                  .arg(playingTime(framesPlanned_, rate)));
    }
    setIdle(thread_ == nullptr);
}

void ExportDialog::setIdle(bool idle) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             fromTime, toTime, fpsBox, formatBox, leaveOutGaps, holdGaps, fileEdit, browseButton}) {
        control->setEnabled(idle && !pictures_.empty());
    }
    exportButton->setEnabled(idle && from_ <= to_);
    cancelButton->setEnabled(idle || !progress_.cancel.load());
}

void ExportDialog::chooseFile() {
    const bool mp4 = format() == platform::VideoFormat::Mp4;
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("動画の保存先"), fileEdit->text(),
        mp4 ? QStringLiteral("MP4 動画 (*.mp4)") : QStringLiteral("WebM 動画 (*.webm)"));
    if (!chosen.isEmpty()) {
        fileEdit->setText(chosen);
    }
}

void ExportDialog::cmdExport_Click() {
    if (thread_ != nullptr || from_ > to_) {
        return;
    }
    const QString file = fileEdit->text().trimmed();
    if (file.isEmpty()) {
        platform::ui().msgBox(this, QStringLiteral("動画の保存先を入れてください。"));
        return;
    }
    if (QFileInfo(file).isDir()) {
        platform::ui().msgBox(
            this,
            QStringLiteral("%1 はフォルダです。\r\n動画のファイル名を入れてください。").arg(file));
        return;
    }
    timelapse::ExportRequest request;
    request.pictures.assign(pictures_.begin() + from_, pictures_.begin() + to_ + 1);
    request.from = 0;
    request.to = to_ - from_;
    request.gaps = gaps();
    request.framesPerSecond = fpsBox->currentData().toInt();
    request.format = format();
    request.path = file;

    progress_.framesDone = 0;
    progress_.cancel = false;
    result_ = {};
    failure_.clear();
    progressBar->setValue(0);
    summaryLabel->setText(QStringLiteral("書き出しています…"));
    thread_ = QThread::create([this, request = std::move(request)] {
        try {
            result_ = timelapse::exportVideo(request, progress_);
        } catch (const platform::Error& error) {
            failure_ = error.message();
        } catch (const std::exception& error) {
            failure_ = QStringLiteral("動画を書き出せませんでした。\r\n%1")
                           .arg(QString::fromUtf8(error.what()));
        }
    });
    connect(thread_, &QThread::finished, this,
            [this] { platform::guarded([this] { exportEnded(); }); });
    setIdle(false);
    progressTimer->start();
    thread_->start();
}

void ExportDialog::showProgress() {
    if (framesPlanned_ > 0) {
        progressBar->setValue(
            static_cast<int>(progress_.framesDone.load() * kProgressSteps / framesPlanned_));
    }
}

void ExportDialog::exportEnded() {
    progressTimer->stop();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    showProgress();
    optionsChanged();
    if (closeWhenStopped_) {
        done(Rejected);
        return;
    }
    if (!failure_.isEmpty()) {
        progressBar->setValue(0);
        platform::ui().msgBox(this, failure_, platform::Buttons::Ok, platform::Icon::Warning);
    } else if (result_.cancelled) {
        progressBar->setValue(0);
        summaryLabel->setText(QStringLiteral("書き出しを取り消しました。"));
    } else {
        QString text =
            QStringLiteral("動画を書き出しました。\r\n%1").arg(fileEdit->text().trimmed());
        if (result_.unreadable > 0) {
            text += QStringLiteral("\r\n読めなかった写真 %1 枚は、その前の写真で代えました。")
                        .arg(result_.unreadable);
        }
        const QPointer<ExportDialog> alive(this);
        platform::ui().msgBox(this, text, platform::Buttons::Ok, platform::Icon::Information);
        if (alive) {  // the box lets events run: the window may have been closed meanwhile
            done(Accepted);
        }
    }
}

void ExportDialog::cmdCancel_Click() {
    if (thread_ == nullptr) {
        done(Rejected);
        return;
    }
    progress_.cancel = true;  // the worker stops after the picture in hand, then exportEnded runs
    summaryLabel->setText(QStringLiteral("取り消しています…"));
    setIdle(false);
}

void ExportDialog::reject() {
    platform::guarded([this] {
        if (thread_ != nullptr) {
            closeWhenStopped_ = true;
        }
        cmdCancel_Click();
    });
}

void openExportDialog(QWidget* parent, const std::vector<timelapse::TimedPicture>& pictures,
                      int from, int to) {
    auto* dialog = new ExportDialog(pictures, from, to, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
