#pragma once
// The time-lapse export window 動画に書き出す: the range, the frames a second, the format, whether
// gaps are left out or held, and the file; the video is written on a worker thread while the
// window shows the progress and offers キャンセル. Shooting and the other windows go on meanwhile.

#include <memory>
#include <vector>
#include <QDialog>
#include <QString>

#include "timelapse/FramePlan.h"
#include "timelapse/TimedPicture.h"
#include "timelapse/VideoExport.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;
class QTimer;

class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // `pictures` in time order; pictures[from..to] is the range offered first.
    ExportDialog(std::vector<timelapse::TimedPicture> pictures, int from, int to,
                 QWidget* parent = nullptr);
    // A running export is cancelled and waited for; it leaves no file.
    ~ExportDialog() override;

    void cmdExport_Click();
    void cmdCancel_Click();
    bool running() const { return thread_ != nullptr; }
    // The range as chosen: indices into the pictures, from > to when no picture lies in it.
    int rangeFrom() const { return from_; }
    int rangeTo() const { return to_; }

    // Esc and the close box: cancel a running export and close once it has stopped.
    void reject() override;

private:
    void chooseFile();
    void rangeChanged();
    void optionsChanged();
    void showProgress();
    void exportEnded();
    timelapse::Gaps gaps() const;
    platform::VideoFormat format() const;
    void setIdle(bool idle);

    std::vector<timelapse::TimedPicture> pictures_;
    int from_ = 0;
    int to_ = -1;
    QString videosFolder_;
    QString offeredFile_;  // the default name last put in the file box

    QThread* thread_ = nullptr;
    timelapse::ExportProgress progress_;
    int64_t framesPlanned_ = 0;
    // Written by the worker, read after it has ended.
    timelapse::ExportResult result_;
    QString failure_;
    bool closeWhenStopped_ = false;

    QDateTimeEdit* fromTime = nullptr;
    QDateTimeEdit* toTime = nullptr;
    QComboBox* fpsBox = nullptr;
    QComboBox* formatBox = nullptr;
    QRadioButton* leaveOutGaps = nullptr;
    QRadioButton* holdGaps = nullptr;
    QLineEdit* fileEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QLabel* summaryLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QTimer* progressTimer = nullptr;
};

// Opens a new export window over `parent` for pictures[from..to] and returns at once; the window
// deletes itself when closed.
void openExportDialog(QWidget* parent, const std::vector<timelapse::TimedPicture>& pictures,
                      int from, int to);
