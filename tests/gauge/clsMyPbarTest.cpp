// The gauge: its numbers, the geometry of its squares, and what it paints into a real picture box.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>
#include <gtest/gtest.h>
#include <QLabel>
#include <QWidget>

#include "gauge/clsMyPbar.h"
#include "platform/qt/PictureBox.h"

namespace {

const QColor kBack(192, 192, 192);
const QColor kBlack(0, 0, 0);

// Records what the gauge fills, in the box's own units.
class RecordingSurface : public platform::DrawingSurface {
public:
    struct Fill {
        double x1, y1, x2, y2;
        QColor color;
    };
    RecordingSurface(double width, double height) : width_(width), height_(height) {}
    double scaleWidth() const override { return width_; }
    double scaleHeight() const override { return height_; }
    QColor backColor() const override { return kBack; }
    void fillRect(double x1, double y1, double x2, double y2, const QColor& color) override {
        fills.push_back({x1, y1, x2, y2, color});
    }
    std::vector<Fill> fills;

private:
    double width_, height_;
};

// --- numbers ---------------------------------------------------------------------------------

TEST(GaugeNumbers, StartsEmptyAndBlack) {
    clsMyPbar gauge;
    EXPECT_EQ(gauge.Max(), 0.0f);
    EXPECT_EQ(gauge.Min(), 0.0f);
    EXPECT_EQ(gauge.Value(), 0.0f);
    EXPECT_EQ(gauge.Color(), kBlack);
}

TEST(GaugeNumbers, MaxNotAboveMinBecomesMinPlusOne) {
    clsMyPbar gauge;
    gauge.Max(0);
    EXPECT_EQ(gauge.Max(), 1.0f);
    gauge.Min(5);  // not validated
    EXPECT_EQ(gauge.Min(), 5.0f);
    gauge.Max(3);
    EXPECT_EQ(gauge.Max(), 6.0f);
    gauge.Max(9);
    EXPECT_EQ(gauge.Max(), 9.0f);
}

TEST(GaugeNumbers, ValueIsClampedIntoTheRange) {
    clsMyPbar gauge;
    gauge.Max(10);
    gauge.Value(12);
    EXPECT_EQ(gauge.Value(), 10.0f);
    gauge.Value(-3);
    EXPECT_EQ(gauge.Value(), 0.0f);
    gauge.Value(7);
    EXPECT_EQ(gauge.Value(), 7.0f);
}

TEST(GaugeNumbers, DetachedOrRangelessValueIsStoredWithoutDrawing) {
    RecordingSurface box(4515, 315);
    QLabel label;
    clsMyPbar gauge;
    gauge.Max(10);
    gauge.Value(4);  // nothing attached yet
    EXPECT_EQ(gauge.Value(), 4.0f);

    gauge.Picturebox(&box);
    gauge.Label(&label);
    gauge.Min(10);  // Max == Min: the fill width would divide by zero
    gauge.Value(3);
    EXPECT_EQ(gauge.Value(), 10.0f);
    EXPECT_TRUE(box.fills.empty());
    EXPECT_TRUE(label.text().isEmpty());

    gauge.Min(0);
    gauge.Kill();
    gauge.Value(6);
    EXPECT_EQ(gauge.Value(), 6.0f);
    EXPECT_EQ(gauge.Max(), 10.0f);  // Kill keeps the numbers
    EXPECT_TRUE(box.fills.empty());
    EXPECT_TRUE(label.text().isEmpty());
}

// --- geometry, in the box's units --------------------------------------------------------------

TEST(GaugeGeometry, SquaresAndGapsForASideOf315) {
    RecordingSurface box(4515, 315);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(10);
    gauge.Value(5);  // fill width 2257.5

    // Six whole squares at multiples of 315 + 32, the seventh cut at the fill width, then the
    // rest in the background colour from the fill width on.
    ASSERT_EQ(box.fills.size(), 8u);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_DOUBLE_EQ(box.fills[k].x1, k * 347.0);
        EXPECT_DOUBLE_EQ(box.fills[k].x2, k * 347.0 + 315);
        EXPECT_DOUBLE_EQ(box.fills[k].y1, 0);
        EXPECT_DOUBLE_EQ(box.fills[k].y2, 315);
        EXPECT_EQ(box.fills[k].color, kBlack);
    }
    EXPECT_DOUBLE_EQ(box.fills[6].x1, 2082);
    EXPECT_DOUBLE_EQ(box.fills[6].x2, 2257.5);
    EXPECT_EQ(box.fills[6].color, kBlack);
    EXPECT_DOUBLE_EQ(box.fills[7].x1, 2257.5);
    EXPECT_DOUBLE_EQ(box.fills[7].x2, 4515);
    EXPECT_EQ(box.fills[7].color, kBack);
}

TEST(GaugeGeometry, SquaresAndGapsForASideOf15) {
    RecordingSurface box(100, 15);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(100);
    gauge.Value(100);  // fill width 100: squares at 0, 17, 34, 51, 68, 85 (cut at 100)
    ASSERT_EQ(box.fills.size(), 6u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(box.fills[k].x1, k * 17.0);
        EXPECT_DOUBLE_EQ(box.fills[k].x2, k * 17.0 + 15);
    }
    EXPECT_DOUBLE_EQ(box.fills[5].x1, 85);
    EXPECT_DOUBLE_EQ(box.fills[5].x2, 100);  // 85 + 15 is not below 100: the cut square
    EXPECT_EQ(box.fills[5].color, kBlack);   // and nothing left to erase
}

TEST(GaugeGeometry, EdgeInsideAGapEndsWithTheLastWholeSquare) {
    RecordingSurface box(4140, 315);  // the 12th square ends at 4132, the next starts at 4164
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(10);
    gauge.Value(10);
    ASSERT_EQ(box.fills.size(), 12u);
    EXPECT_DOUBLE_EQ(box.fills.back().x1, 11 * 347.0);
    EXPECT_DOUBLE_EQ(box.fills.back().x2, 11 * 347.0 + 315);
    EXPECT_EQ(box.fills.back().color, kBlack);
}

TEST(GaugeGeometry, SquaresLineUpWhateverTheValue) {
    RecordingSurface box(4515, 315);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(37);
    for (int v = 0; v <= 37; ++v) {
        box.fills.clear();
        gauge.Value(float(v));
        const float fill = float(v) / 37.0f * 4515.0f;
        for (const auto& f : box.fills) {
            if (f.color == kBlack) {
                EXPECT_DOUBLE_EQ(std::fmod(f.x1, 347.0), 0.0) << "value " << v;
                EXPECT_LE(f.x2 - f.x1, 315.0);
                EXPECT_LE(f.x2, double(fill));
            }
        }
    }
}

TEST(GaugeGeometry, ASquareEndingExactlyAtTheFillWidthIsTheLast) {
    RecordingSurface box(630, 315);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(2);
    gauge.Value(1);  // fill width 315: one square, and the erasing starts right after it
    ASSERT_EQ(box.fills.size(), 2u);
    EXPECT_DOUBLE_EQ(box.fills[0].x2, 315);
    EXPECT_DOUBLE_EQ(box.fills[1].x1, 315);
    EXPECT_EQ(box.fills[1].color, kBack);
}

TEST(GaugeGeometry, ValueZeroClearsTheWholeBox) {
    RecordingSurface box(4515, 315);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(10);
    gauge.Value(0);
    ASSERT_EQ(box.fills.size(), 1u);
    EXPECT_DOUBLE_EQ(box.fills[0].x1, 0);
    EXPECT_DOUBLE_EQ(box.fills[0].x2, 4515);
    EXPECT_EQ(box.fills[0].color, kBack);
}

TEST(GaugeGeometry, GapIsAboutATenthOfTheSide) {
    for (auto [side, gap] : {std::pair{15.0, 2.0},
                             {315.0, 32.0},
                             {30.0, 3.0},
                             {100.0, 10.0},
                             {1.0, 1.0},
                             {12.0, 2.0},
                             {21.0, 3.0}}) {
        RecordingSurface box(10 * (side + gap), side);
        clsMyPbar gauge;
        gauge.Picturebox(&box);
        gauge.Max(1);
        gauge.Value(1);
        ASSERT_GE(box.fills.size(), 2u);
        EXPECT_DOUBLE_EQ(box.fills[1].x1 - box.fills[0].x2, gap) << "side " << side;
    }
}

// --- pixels in a real picture box --------------------------------------------------------------

// The main window's gauge box: 4575 x 375 twips outer, a 2-pixel border, 301 x 21 pixels inside.
struct GaugeBox {
    explicit GaugeBox(double widthTwips = 4575, double heightTwips = 375)
        : box(new platform::PictureBox(&parent, QRectF(0, 0, widthTwips, heightTwips), kBack)),
          label(new QLabel(box)) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSize(12);
        label->setFont(font);
        gauge.Picturebox(box);
        gauge.Label(label);
    }
    QRgb pixel(int x, int y = 0) const { return box->image().pixel(x, y); }
    bool isBack(int x, int y = 0) const { return pixel(x, y) == kBack.rgb(); }
    bool isSquare(int x, int y = 0) const { return pixel(x, y) == gauge.Color().rgb(); }
    // The label's centre, in pixels of the box's inner area, doubled to stay whole.
    int labelCentreTwice() const { return (label->x() - 2) * 2 + label->width(); }

    QWidget parent;
    platform::PictureBox* box;
    QLabel* label;
    clsMyPbar gauge;
};

TEST(GaugePixels, TheBoxHasTheExpectedInnerArea) {
    GaugeBox g;
    EXPECT_EQ(g.box->image().size(), QSize(301, 21));
    EXPECT_DOUBLE_EQ(g.box->scaleWidth(), 4515);
    EXPECT_DOUBLE_EQ(g.box->scaleHeight(), 315);
}

TEST(GaugePixels, ValueZeroShowsOnlyBackgroundAndZeroLeft) {
    GaugeBox g;
    g.gauge.Max(10);
    g.gauge.Value(10);
    g.gauge.Value(0);
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 301; ++x) {
            ASSERT_TRUE(g.isBack(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(g.label->text(), QStringLiteral("残り0枚"));
}

TEST(GaugePixels, FullGaugeRunsToTheRightEdge) {
    GaugeBox g;
    g.gauge.Max(10);
    g.gauge.Value(10);
    // Square k covers pixels round(347k / 15) .. round((347k + 315) / 15) - 1, full height.
    const int left[] = {0, 23, 46, 69};
    for (int k = 0; k < 4; ++k) {
        for (int x = left[k]; x < left[k] + 21; ++x) {
            EXPECT_TRUE(g.isSquare(x, 0) && g.isSquare(x, 20)) << "x " << x;
        }
        EXPECT_TRUE(g.isBack(left[k] + 21)) << "gap after square " << k;
    }
    // The 13th square (4164..4479 twips) ends at pixel 298; the 14th starts 0.27 pixel before
    // the edge, so its cut remainder rounds to nothing.
    EXPECT_TRUE(g.isSquare(278));
    EXPECT_TRUE(g.isSquare(298));
    EXPECT_TRUE(g.isBack(299));
    EXPECT_TRUE(g.isBack(300));
    EXPECT_EQ(g.label->text(), QStringLiteral("残り10枚"));
}

TEST(GaugePixels, EdgeInsideAGapEndsWithTheLastWholeSquare) {
    GaugeBox g(4200);  // 276 pixels inside: 4140 twips, the edge inside the 12th gap
    ASSERT_DOUBLE_EQ(g.box->scaleWidth(), 4140);
    g.gauge.Max(10);
    g.gauge.Value(10);
    EXPECT_TRUE(g.isSquare(254));
    EXPECT_TRUE(g.isSquare(274));
    EXPECT_TRUE(g.isBack(275));
}

TEST(GaugePixels, HalfValueCutsTheLastSquareAtTheFillWidth) {
    GaugeBox g;
    g.gauge.Max(10);
    g.gauge.Value(5);  // fill width 2257.5 twips = 150.5 pixels; the cut square from pixel 139
    EXPECT_TRUE(g.isSquare(139));
    EXPECT_TRUE(g.isSquare(150));
    EXPECT_TRUE(g.isBack(151));
    EXPECT_TRUE(g.isBack(160));
}

TEST(GaugePixels, AboveMaxDrawsAndShowsMax) {
    GaugeBox g;
    g.gauge.Max(7);
    g.gauge.Value(100);
    EXPECT_EQ(g.gauge.Value(), 7.0f);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り7枚"));
    EXPECT_TRUE(g.isSquare(298));
}

TEST(GaugePixels, LoweringTheValueErasesSquaresAndRecentresTheLabel) {
    GaugeBox g;
    g.gauge.Max(1000);
    g.gauge.Value(1000);
    const int wideLabel = g.label->width();
    EXPECT_LE(std::abs(g.labelCentreTwice() - 301), 1);

    g.gauge.Value(5);  // 22.6 twips: a sliver of the first square
    EXPECT_EQ(g.label->text(), QStringLiteral("残り5枚"));
    EXPECT_LT(g.label->width(), wideLabel);
    EXPECT_LE(std::abs(g.labelCentreTwice() - 301), 1);
    EXPECT_TRUE(g.isSquare(0));
    for (int x = 2; x < 301; ++x) {
        ASSERT_TRUE(g.isBack(x) && g.isBack(x, 20)) << "x " << x;
    }
}

TEST(GaugePixels, CountingDownStopsAtMin) {
    GaugeBox g;
    g.gauge.Max(3);
    g.gauge.Value(3);
    for (int i = 0; i < 5; ++i) {
        g.gauge.Value(g.gauge.Value() - 1);
    }
    EXPECT_EQ(g.gauge.Value(), 0.0f);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り0枚"));
}

TEST(GaugePixels, LabelIsCentredAtTheBoxWidth) {
    GaugeBox g;
    g.gauge.Max(200);
    g.gauge.Value(123);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り123枚"));
    EXPECT_EQ(g.label->size(), g.label->sizeHint());  // sized to its text
    EXPECT_LE(std::abs(g.labelCentreTwice() - 301), 1);
}

TEST(GaugePixels, LargeValuesAreWrittenInFull) {
    GaugeBox g;
    g.gauge.Max(2'000'000);
    g.gauge.Value(1'234'567);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り1234567枚"));
    g.gauge.Value(-0.0f);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り0枚"));
}

TEST(GaugePixels, ColourTakesEffectAtTheNextDrawing) {
    GaugeBox g;
    g.gauge.Max(10);
    g.gauge.Value(10);
    g.gauge.Color(QColor(255, 0, 0));
    EXPECT_EQ(g.pixel(0), kBlack.rgb());
    g.gauge.Value(9);
    EXPECT_EQ(g.pixel(0), QColor(255, 0, 0).rgb());
}

TEST(GaugePixels, SideOf15LeavesGapPixels) {
    GaugeBox g(4575, 75);  // 1 pixel = 15 twips high inside
    ASSERT_DOUBLE_EQ(g.box->scaleHeight(), 15);
    g.gauge.Max(10);
    g.gauge.Value(10);
    // Squares of one pixel every 17 twips: every 17 pixels, two gap pixels (4 and 13).
    for (int x = 0; x < 17; ++x) {
        const bool gap = x == 4 || x == 13;
        EXPECT_EQ(g.isBack(x), gap) << "x " << x;
        EXPECT_EQ(g.isBack(x + 17), gap) << "x " << x + 17;
    }
}

TEST(GaugePixels, ABoxDestroyedBeforeTheGaugeReadsAsDetached) {
    auto g = std::make_unique<GaugeBox>();
    clsMyPbar survivor;
    survivor.Picturebox(g->box);
    survivor.Label(g->label);
    survivor.Max(10);
    g.reset();
    survivor.Value(4);  // must not touch the destroyed box or label
    EXPECT_EQ(survivor.Value(), 4.0f);
}

TEST(GaugePixels, KillLeavesTheBoxAsItWas) {
    GaugeBox g;
    g.gauge.Max(10);
    g.gauge.Value(10);
    const QImage before = g.box->image();
    g.gauge.Kill();
    g.gauge.Value(1);
    EXPECT_EQ(g.box->image(), before);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り10枚"));
}

}  // namespace
