#pragma once
// A picture box: a framed area that keeps its drawing in a persistent image of its inner area,
// so covering and uncovering the window loses nothing. Its scale is in twips.

#include <QFrame>
#include <QImage>

#include "platform/DrawingSurface.h"

namespace widgets {

class PictureBox : public QFrame, public platform::DrawingSurface {
    Q_OBJECT
public:
    // `outer` is the box's geometry in twips, border included; the border is the classic
    // 2-pixel sunken one.
    PictureBox(QWidget* parent, const QRectF& outerTwips, const QColor& background);

    // The inner area's image, as drawn.
    const QImage& image() const { return image_; }
    // Shows `picture` from the top-left corner, cut to the inner area; the rest shows the
    // background colour.
    void setPicture(const QImage& picture);

    double scaleWidth() const override;
    double scaleHeight() const override;
    QColor backColor() const override { return background_; }
    void fillRect(double x1, double y1, double x2, double y2, const QColor& color) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_;
    QImage image_;
};

}  // namespace widgets
