#include "about/frmAbout.h"

#include <QFont>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "about/ProgramIcon.h"
#include "platform/Guard.h"
#include "platform/Platform.h"

namespace about {

QString versionLine(int major, int minor, int revision) {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void openAbout() {
    frmAbout form;
    platform::ui().showModal(form);
}

}  // namespace about

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent,
              // A fixed dialog frame with only a close box: no minimise or maximise button. A
              // dialog window is marked transient, which keeps it out of the task bar.
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                  Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowIcon(about::programIcon());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFixedSize(32, 32);
    picIcon->setPixmap(about::programIconPixmap(32));

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    lblDescription = new QLabel(this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    // The address can be copied with the mouse.
    lblDescription->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdOK_Click(); }); });

    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(16);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(cmdOK, 0, 2, Qt::AlignTop);
    grid->setRowStretch(2, 1);

    Form_Load();
    cmdOK->setFocus();
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("ころんカメラのﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(
        about::versionLine(KORONCAM_VERSION_MAJOR, KORONCAM_VERSION_MINOR, KORONCAM_VERSION_PATCH));
    lblTitle->setText(QStringLiteral("ころんカメラ"));
    lblDescription->setText(QStringLiteral("ご意見・ご感想をメールでお気軽にお寄せください。") +
                            QStringLiteral("\r\n\r\n") + about::kContactAddress);
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // OK is the cancel button too: Esc presses it rather than rejecting the dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
