#pragma once
// A horizontal gauge of squares drawn into a picture box the caller supplies, with a label
// "残り<value>枚" centred over it. It draws only when its value is set.

#include <QColor>
#include <QLabel>

#include "platform/DrawingSurface.h"

class clsMyPbar {
public:
    clsMyPbar() = default;

    // The squares' colour, used from the next drawing on. Black from construction.
    void Color(const QColor& color) {
        color_ = color;
        drawn_ = false;
    }
    QColor Color() const { return color_; }

    // Clamps `value` into [Min, Max] (Max first), stores it and redraws the gauge and its label.
    // Nothing is drawn while no picture box is attached or while Max equals Min, nor when the
    // gauge already shows this value as drawn (every picture sets it, mostly to what it shows).
    void Value(float value);
    float Value() const { return value_; }

    // Stored as given: no check, no drawing.
    void Min(float min) {
        min_ = min;
        drawn_ = false;
    }
    float Min() const { return min_; }

    // Stored; a maximum not above Min becomes Min + 1. No drawing.
    void Max(float max);
    float Max() const { return max_; }

    // Attach the label (expected to be a child of the picture box) and the picture box. Neither
    // is owned: the window that owns the gauge owns them too, and they outlive the gauge.
    void Label(QLabel* label) {
        label_ = label;
        drawn_ = false;
    }
    void Picturebox(platform::DrawingSurface* box) {
        box_ = box;
        drawn_ = false;
    }

    // Detach both; the numbers stay.
    void Kill();

private:
    void drawSquares(platform::DrawingSurface& box) const;
    void drawLabel(const platform::DrawingSurface* box) const;

    // Fields in the order of the gauge's definition.
    platform::DrawingSurface* box_ = nullptr;
    float max_ = 0;
    float min_ = 0;
    float value_ = 0;
    QColor color_ = QColor(0, 0, 0);
    QLabel* label_ = nullptr;
    bool drawn_ = false;  // the box and the label show value_ with the present range and colour
};
