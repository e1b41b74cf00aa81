#include "viewer/ScaledPicture.h"

#include <QPainter>

namespace viewer {

ScaledPicture::ScaledPicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ScaledPicture::setImage(const QImage& image) {
    image_ = image;
    text_.clear();
    update();
}

void ScaledPicture::setText(const QString& text) {
    image_ = QImage();
    text_ = text;
    update();
}

void ScaledPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull()) {
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, text_);
        return;
    }
    const QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
}

}  // namespace viewer
