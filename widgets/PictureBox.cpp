#include "widgets/PictureBox.h"

#include <algorithm>
#include <QPainter>

#include "platform/Twips.h"

namespace widgets {
namespace {

using platform::pixelsToTwips;
using platform::twipsToPixels;

constexpr int kBorder = 2;  // pixels

}  // namespace

PictureBox::PictureBox(QWidget* parent, const QRectF& outerTwips, const QColor& background)
    : QFrame(parent), background_(background) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setGeometry(twipsToPixels(outerTwips.left()), twipsToPixels(outerTwips.top()),
                twipsToPixels(outerTwips.width()), twipsToPixels(outerTwips.height()));
    const QSize inner = contentsRect().size();
    image_ = QImage(std::max(inner.width(), 1), std::max(inner.height(), 1), QImage::Format_RGB32);
    image_.fill(background_);
}

void PictureBox::setPicture(const QImage& picture) {
    // A picture of the inner area's very size and format is shown as it is, without a copy.
    if (picture.size() == image_.size() && picture.format() == image_.format()) {
        image_ = picture;
        update(contentsRect());
        return;
    }
    QPainter painter(&image_);
    painter.fillRect(image_.rect(), background_);
    painter.drawImage(0, 0, picture);
    painter.end();
    update();
}

double PictureBox::scaleWidth() const {
    return pixelsToTwips(image_.width());
}

double PictureBox::scaleHeight() const {
    return pixelsToTwips(image_.height());
}

void PictureBox::fillRect(double x1, double y1, double x2, double y2, const QColor& color) {
    const QRect area(
        QPoint(twipsToPixels(std::min(x1, x2)), twipsToPixels(std::min(y1, y2))),
        QPoint(twipsToPixels(std::max(x1, x2)) - 1, twipsToPixels(std::max(y1, y2)) - 1));
    QPainter painter(&image_);
    painter.fillRect(area.intersected(image_.rect()), color);
    painter.end();
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), image_);
}

}  // namespace widgets
