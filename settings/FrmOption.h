#pragma once
// The options dialog: the picture folder, its size limit and three switches; below them the
// interval between pictures and the switch that skips a picture equal to the last one.

#include <cstdint>
#include <optional>
#include <QDialog>

#include "settings/Settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;

// What the options dialog changes on the main window.
class OptionsHost {
public:
    virtual ~OptionsHost() = default;
    // Enables the batch menu item when the encoder library is present; returns its presence.
    virtual bool CheckPngDll() = 0;
    virtual void setGaugeVisible(bool visible) = 0;
    virtual void setPngMenuEnabled(bool enabled) = 0;
};

class FrmOption : public QDialog {
    Q_OBJECT
public:
    FrmOption(QWidget* parent, Settings& settings, int32_t bmpsize, OptionsHost& host);

    void Form_Load();
    void Text2_Change();
    void Check3_Click();
    void text1_OLEDragDrop(const QMimeData& data);
    void Command1_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();

    // The folder with exactly one final "/"; a root "/" stays "/".
    static QString addroot(const QString& folder);
    // The decimal number a text begins with, blanks ignored; 0 when it holds none.
    static double leadingNumber(const QString& text);
    // The estimate line for `megabytes` and one picture of `shotSize` bytes.
    static QString estimateText(double megabytes, int64_t shotSize);
    // The size limit to store for the typed number: rounded down, at least 1, at most the
    // largest 32-bit value.
    static int32_t storedSize(double megabytes);
    // The interval typed in its box: whole seconds within the allowed range, in half- or
    // full-width digits, blanks around allowed; nothing for any other text.
    static std::optional<int32_t> typedInterval(const QString& text);

    void reject() override;  // Esc behaves as Cancel

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Tests whether the folder exists and creates it with the user's consent. Returns false when
    // the dialog must stay open.
    bool ensureFolder(const QString& folderWithSlash);

    Settings& settings_;
    int32_t bmpsize_;
    OptionsHost& host_;

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QLabel* Label3;
    QLabel* Label4;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QCheckBox* Check3;
    QLabel* Label5;
    QLineEdit* Text3;
    QLabel* Label6;
    QCheckBox* Check4;
    QPushButton* Command1;
    QPushButton* cmdCancel;
    QPushButton* cmdHelp;
};
