// Design sizes through UiScale: rounding half to even, and the controls' default sizes, bounds,
// fonts and painted geometry at a factor of 1.5.
#include "tests/ui/UiTestSupport.h"
#include "ui/UiControls.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(UiScale, RoundsHalfToEven) {
    struct Case {
        double Factor;
        int Design, Device;
    };
    const Case cases[] = {
        {1.0, 7, 7},    {1.5, 1, 2},    {1.5, 2, 3},     {1.5, 3, 4},   {1.5, 5, 8},  {1.5, 9, 14},
        {1.5, 11, 16},  {1.5, 13, 20},  {1.5, 120, 180}, {1.5, 40, 60}, {1.25, 2, 2}, {1.25, 6, 8},
        {1.25, 10, 12}, {1.25, 14, 18}, {1.75, 2, 4},    {2.0, 28, 56},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Design << " at " << c.Factor);
        const ScaleGuard scale(c.Factor);
        EXPECT_EQ(UiScaleFactor(), c.Factor);
        EXPECT_EQ(UiScale(c.Design), c.Device);
    }
}

TEST(UiScale, ControlsAtOneAndAHalf) {
    const ScaleGuard scale(1.5);
    Host host(0xFFFFFF, QSize(400, 300));
    struct Size {
        const char* Name;
        QWidget* Control;
        int Width, Height; // -1: not the control's to choose
    };
    const Size sizes[] = {
        {"button 120 × 40", new TUiButton(host.Widget()), 180, 60},
        {"pill 150 × 30", new TUiPill(host.Widget()), 225, 45},
        {"meter height 12", new TUiMeter(host.Widget()), -1, 18},
        {"nav item height 48", new TUiNavItem(host.Widget()), -1, 72},
    };
    for (const Size& s : sizes) {
        SCOPED_TRACE(s.Name);
        if (s.Width >= 0) {
            EXPECT_EQ(s.Control->width(), s.Width);
        }
        EXPECT_EQ(s.Control->height(), s.Height);
    }

    // Bounds: 28, 24, 3, 5 → 42, 36, 4 (4.5 to even), 8 (7.5 to even).
    QLabel* label = MakeLabel(host.Widget(), 28, 24, 3, 5, "가", 10, QColor(0x0F1F2E));
    EXPECT_EQ(label->geometry(), QRect(42, 36, 4, 8));
    // Points become pixels at 144 DPI: 11 pt × 144 / 72.
    const struct { int Points, Pixels; } fonts[] = {{9, 18}, {10, 20}, {11, 22}, {12, 24}, {17, 34}};
    for (const auto& f : fonts) {
        SCOPED_TRACE(f.Points);
        EXPECT_EQ(UiFont(f.Points).pixelSize(), f.Pixels);
    }

    // Painted geometry: the nav bar is 6 wide from y 15 to 56; the focus ring 3 wide, 2 in.
    auto* item = new TUiNavItem(host.Widget());
    item->resize(300, item->height());
    item->SetSelected(true);
    auto* button = new TUiButton(host.Widget());
    button->move(0, 100);
    button->SetKind(TUiButtonKind::Primary);
    host.Activate();
    const QImage nav = Grab(item);
    EXPECT_EQ(At(nav, 5, 15), "#E8762B");
    EXPECT_EQ(At(nav, 5, 56), "#E8762B");
    EXPECT_EQ(At(nav, 6, 30), "#FFFFFF");
    EXPECT_EQ(At(nav, 0, 14), "#FFFFFF");
    EXPECT_EQ(At(nav, 0, 57), "#FFFFFF");

    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    const QImage ring = Grab(button);
    EXPECT_EQ(At(ring, 1, 30), "#E8762B");
    EXPECT_EQ(At(ring, 2, 30), "#E8762B");
    EXPECT_EQ(At(ring, 4, 30), "#17324A");
    EXPECT_EQ(At(ring, 177, 30), "#E8762B");
}

} // namespace
} // namespace pavona
