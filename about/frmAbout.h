#pragma once
// The about window: the program's title, version and where to send comments.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace about {

// "ﾊﾞｰｼﾞｮﾝ " followed by the three numbers in plain decimals, joined by dots.
QString versionLine(int major, int minor, int revision);

// Where users may send their comments.
inline const QString kContactAddress = QStringLiteral("koroncam@users.noreply.example");

}  // namespace about

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Builds the window and fills it (Form_Load). Build a new one at every opening.
    explicit frmAbout(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
};

namespace about {

// Opens a new about window modally, without an owner, and returns when it has closed.
void openAbout();

}  // namespace about
