#pragma once
// The window ころんカメラ 写真: the pictures of the picture folder one at a time, in the order of
// the times in their names, with a slider over all of them, stepping, and playing at a chosen
// speed. Not modal: shooting goes on. While shown it follows the folder: new pictures join at the
// end, deleted ones leave, and a picture that has vanished is skipped.

#include <functional>
#include <optional>
#include <vector>
#include <QElapsedTimer>
#include <QWidget>

#include "timelapse/TimedPicture.h"
#include "viewer/Playback.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace viewer {
class ScaledPicture;
}  // namespace viewer

class frmView : public QWidget {
    Q_OBJECT
public:
    // What 動画に書き出す… does with the pictures and the chosen range (indexes into them,
    // `from` <= `to`).
    using ExportHandler =
        std::function<void(const std::vector<timelapse::TimedPicture>& pictures, int from, int to)>;

    // `picturePath` gives the picture folder as the settings hold it; asked at every look, so a
    // folder changed in the options is followed too.
    explicit frmView(std::function<QString()> picturePath, QWidget* parent = nullptr);
    ~frmView() override;

    // The export button and the range buttons show only once a handler is set.
    void setExportHandler(ExportHandler handler);

    // Reads the folder's changes now; the window does it every second while it is shown.
    void followFolder();

    // The pictures as shown, the one shown (-1: none), and whether they are playing.
    const std::vector<timelapse::TimedPicture>& pictures() const { return pictures_; }
    int current() const { return current_; }
    bool playing() const;
    int speed() const;

    // The handlers of the buttons, the slider and the keys.
    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdPlay_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdFrom_Click();
    void cmdTo_Click();
    void cmdExport_Click();
    void sldPicture_Change(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void addKey(const QKeySequence& key, void (frmView::*handler)());
    // Moves to picture `index` and shows it; `direction` (-1 or 1) is where a vanished one is
    // skipped to.
    void moveTo(int index, int direction);
    // Shows `fresh`, the pictures of `path`, keeping the one shown where it is still there.
    void takePictures(const QString& path, std::vector<timelapse::TimedPicture> fresh);
    void showCurrent(int direction);
    void showPosition();
    void setPlaying(bool on);
    void playTick();
    // The chosen range, first and last picture by default.
    std::pair<int, int> exportRange() const;

    std::function<QString()> picturePath_;
    QString path_;                         // the folder the pictures were read from
    std::optional<uint64_t> seenChanges_;  // the folder index's count of changes then
    std::vector<timelapse::TimedPicture> pictures_;
    int current_ = -1;
    std::optional<timelapse::TimedPicture> from_, to_;  // the range's ends, where chosen
    ExportHandler exportHandler_;
    viewer::Playback playback_;
    QElapsedTimer sinceTick_;

    viewer::ScaledPicture* Picture1 = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblProblem = nullptr;
    QSlider* sldPicture = nullptr;
    QPushButton* cmdFirst = nullptr;
    QPushButton* cmdPrevious = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdLast = nullptr;
    QComboBox* cboSpeed = nullptr;
    QLabel* lblRange = nullptr;
    QPushButton* cmdFrom = nullptr;
    QPushButton* cmdTo = nullptr;
    QPushButton* cmdExport = nullptr;
    QTimer* tmrFollow = nullptr;
    QTimer* tmrPlay = nullptr;
};
