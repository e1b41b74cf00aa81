#pragma once
// What a gauge needs of the box it draws into. Coordinates are in the box's own scale units
// (twips), origin at the top-left corner of its inner area, y growing downwards.

#include <QColor>

namespace platform {

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;
    virtual double scaleWidth() const = 0;
    virtual double scaleHeight() const = 0;
    virtual QColor backColor() const = 0;
    // Fills the rectangle from (x1, y1) to (x2, y2) with `color`.
    virtual void fillRect(double x1, double y1, double x2, double y2, const QColor& color) = 0;
};

}  // namespace platform
