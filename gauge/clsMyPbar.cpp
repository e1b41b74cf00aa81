#include "gauge/clsMyPbar.h"

#include <cmath>
#include <QWidget>

#include "platform/Twips.h"

namespace {

// Whole values as plain digits ("123", never "123.0" or "1.23e+02"); others as short decimals.
QString formatValue(float value) {
    const double v = value;
    if (std::floor(v) == v && std::fabs(v) < 1e15) {
        return QString::number(static_cast<qint64>(v));
    }
    return QString::number(v, 'g', 7);
}

}  // namespace

void clsMyPbar::Value(float value) {
    if (value > max_) {
        value = max_;
    } else if (value < min_) {
        value = min_;
    }
    if (drawn_ && value == value_) {
        return;
    }
    value_ = value;
    // Without a range the fill width would divide by zero: keep the value, draw nothing.
    if (max_ == min_) {
        return;
    }
    if (box_ != nullptr) {
        drawSquares(*box_);
    }
    drawLabel(box_);
    drawn_ = box_ != nullptr && label_ != nullptr;
}

void clsMyPbar::Max(float max) {
    max_ = max > min_ ? max : min_ + 1;
    drawn_ = false;
}

void clsMyPbar::Kill() {
    box_ = nullptr;
    label_ = nullptr;
    drawn_ = false;
}

void clsMyPbar::drawSquares(platform::DrawingSurface& box) const {
    const double scaleWidth = box.scaleWidth();
    // The fill width is single precision, as the numbers are.
    const float fill = (value_ - min_) / (max_ - min_) * static_cast<float>(scaleWidth);
    const double side = box.scaleHeight();
    const double gap = std::floor(side * 0.1 + 0.9);

    // Squares start at multiples of side + gap whatever the value, so redrawings line up; the
    // gaps are never painted and keep the background.
    double x = 0;
    while (x < fill) {
        if (x + side < fill) {
            box.fillRect(x, 0, x + side, side, color_);
            x = x + side + gap;
        } else {
            box.fillRect(x, 0, fill, side, color_);  // the last square, cut at the fill width
            x = fill;
        }
    }
    // Erase what a larger value drew before.
    if (x < scaleWidth) {
        box.fillRect(x, 0, scaleWidth, side, box.backColor());
    }
}

void clsMyPbar::drawLabel(const platform::DrawingSurface* box) const {
    if (label_ == nullptr) {
        return;
    }
    label_->setText(QStringLiteral("残り") + formatValue(value_) + QStringLiteral("枚"));
    label_->adjustSize();
    if (box == nullptr) {
        return;
    }
    // Centred in the box's inner area, whose scale is in twips. The label is a child widget of
    // the box, so its position counts from the box's outer corner: add the border.
    const double left = (box->scaleWidth() - platform::pixelsToTwips(label_->width())) / 2;
    const QWidget* parent = label_->parentWidget();
    const int border = parent != nullptr ? parent->contentsRect().left() : 0;
    label_->move(border + platform::twipsToPixels(left), label_->y());
}
