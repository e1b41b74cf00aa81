#include "widgets/GaugeLabel.h"

#include "widgets/JapaneseFont.h"

namespace widgets {

QLabel* makeGaugeLabel(PictureBox* box, const char* objectName) {
    auto* label = new QLabel(box);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFont(gothicFont(12, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 255, 255));
    label->setPalette(palette);
    label->setAutoFillBackground(false);  // transparent: the squares show around the text
    label->adjustSize();
    const QRect inner = box->contentsRect();
    label->move(inner.left(), inner.top() + (inner.height() - label->height()) / 2);
    return label;
}

}  // namespace widgets
