// The gauge: its numbers, the geometry of its squares, and what it paints into a real picture box.
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>
#include <gtest/gtest.h>
#include <QLabel>
#include <QWidget>

#include "gauge/clsMyPbar.h"
#include "widgets/PictureBox.h"

namespace {

const QColor kBack(192, 192, 192);
const QColor kBlack(0, 0, 0);

// Records what the gauge fills, in the box's own units.
struct RecordingSurface : platform::DrawingSurface {
    struct Fill {
        double x1, x2;
        bool square;  // else background
    };
    RecordingSurface(double w, double h) : w(w), h(h) {}
    double scaleWidth() const override { return w; }
    double scaleHeight() const override { return h; }
    QColor backColor() const override { return kBack; }
    void fillRect(double x1, double y1, double x2, double y2, const QColor& color) override {
        EXPECT_EQ(y1, 0);
        EXPECT_EQ(y2, h);
        fills.push_back({x1, x2, color == kBlack});
    }
    double w, h;
    std::vector<Fill> fills;
};

std::vector<RecordingSurface::Fill> draw(double width, double side, float max, float value) {
    RecordingSurface box(width, side);
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Max(max);
    gauge.Value(value);
    return box.fills;
}

TEST(GaugeNumbers, RangeRulesAndClamping) {
    clsMyPbar gauge;
    EXPECT_EQ(gauge.Max(), 0.0f);
    EXPECT_EQ(gauge.Value(), 0.0f);
    EXPECT_EQ(gauge.Color(), kBlack);
    gauge.Max(0);
    EXPECT_EQ(gauge.Max(), 1.0f);  // not above Min: Min + 1
    gauge.Min(5);                  // not validated
    gauge.Max(3);
    EXPECT_EQ(gauge.Max(), 6.0f);
    gauge.Min(0);
    gauge.Max(10);
    gauge.Value(12);
    EXPECT_EQ(gauge.Value(), 10.0f);
    gauge.Value(-3);
    EXPECT_EQ(gauge.Value(), 0.0f);
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
    gauge.Min(0);
    gauge.Kill();
    gauge.Value(6);
    EXPECT_EQ(gauge.Value(), 6.0f);
    EXPECT_TRUE(box.fills.empty());
    EXPECT_TRUE(label.text().isEmpty());
}

TEST(GaugeNumbers, TheSameValueIsDrawnAgainOnlyAfterTheRangeColourOrBoxChanged) {
    RecordingSurface box(4515, 315);
    QLabel label;
    clsMyPbar gauge;
    gauge.Picturebox(&box);
    gauge.Label(&label);
    gauge.Max(10);
    const auto drawingsOf = [&](const std::function<void()>& change) {
        change();
        const size_t before = box.fills.size();
        gauge.Value(4);
        return box.fills.size() - before;
    };
    EXPECT_GT(drawingsOf([] {}), 0u);
    EXPECT_EQ(drawingsOf([] {}), 0u) << "the gauge shows 4 already";
    EXPECT_GT(drawingsOf([&] { gauge.Max(20); }), 0u);
    EXPECT_GT(drawingsOf([&] { gauge.Min(1); }), 0u);
    EXPECT_GT(drawingsOf([&] { gauge.Color(Qt::red); }), 0u);
    EXPECT_GT(drawingsOf([&] { gauge.Picturebox(&box); }), 0u);
    EXPECT_EQ(label.text(), QStringLiteral("残り4枚"));
}

TEST(GaugeGeometry, SquaresAtMultiplesOfSideAndGapLastOneCut) {
    // Side 315, gap 32: six squares, the seventh cut at the fill width 2257.5, then background.
    const auto fills = draw(4515, 315, 10, 5);
    ASSERT_EQ(fills.size(), 8u);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(fills[k].x1, k * 347.0);
        EXPECT_EQ(fills[k].x2, k < 6 ? k * 347.0 + 315 : 2257.5);
        EXPECT_TRUE(fills[k].square);
    }
    EXPECT_EQ(fills[7].x1, 2257.5);
    EXPECT_EQ(fills[7].x2, 4515);
    EXPECT_FALSE(fills[7].square);

    // Side 15, gap 2: squares at 0, 17, ... 68, the last from 85 cut at 100, nothing to erase.
    const auto small = draw(100, 15, 100, 100);
    ASSERT_EQ(small.size(), 6u);
    EXPECT_EQ(small[4].x1, 68);
    EXPECT_EQ(small[4].x2, 83);
    EXPECT_EQ(small[5].x1, 85);
    EXPECT_EQ(small[5].x2, 100);
}

TEST(GaugeGeometry, EdgesOfTheFill) {
    // A square ending exactly at the fill width is the last; erasing starts right there.
    const auto exact = draw(630, 315, 2, 1);
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[1].x1, 315);
    // A full gauge whose edge falls inside a gap ends with the last whole square.
    const auto gap = draw(4140, 315, 10, 10);
    ASSERT_EQ(gap.size(), 12u);
    EXPECT_EQ(gap.back().x2, 11 * 347.0 + 315);
    EXPECT_TRUE(gap.back().square);
}

TEST(GaugeGeometry, GapIsIntOfATenthOfTheSidePlusNineTenths) {
    for (auto [side, gap] : {std::pair{15.0, 2.0},
                             {315.0, 32.0},
                             {1.0, 1.0},
                             {12.0, 2.0},
                             {21.0, 3.0},
                             {100.0, 10.0}}) {
        const auto fills = draw(10 * (side + gap), side, 1, 1);
        ASSERT_GE(fills.size(), 2u);
        EXPECT_EQ(fills[1].x1 - fills[0].x2, gap) << "side " << side;
    }
}

// The main window's gauge box: 4575 x 375 twips outer, a 2-pixel border, 301 x 21 pixels inside.
struct GaugeBox {
    explicit GaugeBox(double widthTwips = 4575, double heightTwips = 375)
        : box(new widgets::PictureBox(&parent, QRectF(0, 0, widthTwips, heightTwips), kBack)),
          label(new QLabel(box)) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSize(12);
        label->setFont(font);
        gauge.Picturebox(box);
        gauge.Label(label);
        gauge.Max(10);
    }
    bool isBack(int x, int y = 0) const { return box->image().pixel(x, y) == kBack.rgb(); }
    bool isSquare(int x, int y = 0) const {
        return box->image().pixel(x, y) == gauge.Color().rgb();
    }
    // Pixels [from, to] are squares over the full height; `to` + 1 is background.
    void expectSquare(int from, int to) const {
        for (int x = from; x <= to; ++x) {
            EXPECT_TRUE(isSquare(x, 0) && isSquare(x, box->image().height() - 1)) << "x " << x;
        }
        EXPECT_TRUE(isBack(to + 1)) << "x " << to + 1;
    }
    bool labelCentred() const {  // in the inner area, to within half a pixel
        return std::abs((label->x() - 2) * 2 + label->width() - box->image().width()) <= 1;
    }

    QWidget parent;
    widgets::PictureBox* box;
    QLabel* label;
    clsMyPbar gauge;
};

TEST(GaugePixels, ValueZeroShowsOnlyBackground) {
    GaugeBox g;
    ASSERT_EQ(g.box->image().size(), QSize(301, 21));
    g.gauge.Value(10);
    g.gauge.Value(0);
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 301; ++x) {
            ASSERT_TRUE(g.isBack(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(g.label->text(), QStringLiteral("残り0枚"));
    EXPECT_TRUE(g.labelCentred());
}

TEST(GaugePixels, FullGaugeRunsToTheRightEdge) {
    GaugeBox g;
    g.gauge.Value(25);  // above Max: stored and shown as Max
    EXPECT_EQ(g.gauge.Value(), 10.0f);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り10枚"));
    // Square k covers pixels round(347k / 15) .. round((347k + 315) / 15) - 1.
    g.expectSquare(0, 20);
    g.expectSquare(23, 43);
    g.expectSquare(46, 66);
    // The 13th square ends at pixel 298; the 14th starts 0.27 pixel before the edge, so its cut
    // remainder rounds to nothing.
    g.expectSquare(278, 298);
    EXPECT_TRUE(g.isBack(300));
}

TEST(GaugePixels, EdgeInsideAGapEndsWithTheLastWholeSquare) {
    GaugeBox g(4200);  // 276 pixels = 4140 twips inside: the edge in the 12th gap
    ASSERT_EQ(g.box->scaleWidth(), 4140);
    g.gauge.Value(10);
    g.expectSquare(254, 274);
}

TEST(GaugePixels, LoweringTheValueErasesAndRecentres) {
    GaugeBox g;
    g.gauge.Max(2'000'000);
    g.gauge.Value(1'234'567);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り1234567枚"));  // whole, no exponent
    EXPECT_TRUE(g.labelCentred());
    const int wide = g.label->width();

    g.gauge.Max(10);
    g.gauge.Value(5);  // fill width 2257.5 twips = 150.5 pixels; the cut square from pixel 139
    g.expectSquare(139, 150);
    for (int x = 151; x < 301; ++x) {
        ASSERT_TRUE(g.isBack(x) && g.isBack(x, 20)) << "x " << x;
    }
    EXPECT_EQ(g.label->text(), QStringLiteral("残り5枚"));
    EXPECT_EQ(g.label->size(), g.label->sizeHint());  // sized to its text
    EXPECT_LT(g.label->width(), wide);
    EXPECT_TRUE(g.labelCentred());
}

TEST(GaugePixels, ColourTakesEffectAtTheNextDrawing) {
    GaugeBox g;
    g.gauge.Value(10);
    g.gauge.Color(QColor(255, 0, 0));
    EXPECT_EQ(g.box->image().pixel(0, 0), kBlack.rgb());
    g.gauge.Value(9);
    EXPECT_EQ(g.box->image().pixel(0, 0), QColor(255, 0, 0).rgb());
}

TEST(GaugePixels, SideOf15LeavesGapPixels) {
    GaugeBox g(4575, 75);  // 1 pixel = 15 twips high inside
    ASSERT_EQ(g.box->scaleHeight(), 15);
    g.gauge.Value(10);
    // Squares of one pixel every 17 twips: every 17 pixels, two gap pixels (4 and 13).
    for (int x = 0; x < 34; ++x) {
        EXPECT_EQ(g.isBack(x), x % 17 == 4 || x % 17 == 13) << "x " << x;
    }
}

TEST(GaugePixels, AKilledGaugeLeavesItsBoxAlone) {
    GaugeBox g;
    g.gauge.Value(10);
    const QImage before = g.box->image();
    g.gauge.Kill();
    g.gauge.Value(1);
    EXPECT_EQ(g.box->image(), before);
    EXPECT_EQ(g.label->text(), QStringLiteral("残り10枚"));
    EXPECT_EQ(g.gauge.Value(), 1.0f);
}

}  // namespace
