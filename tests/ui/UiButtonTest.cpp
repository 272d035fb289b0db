// The painted button: fills, edges and inks by kind and state, the link's underline, the focus
// ring, and clicks from the mouse and the keyboard, read back from grabbed pixels and signals.
#include "tests/ui/UiTestSupport.h"
#include "ui/UiControls.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace pavona {
namespace {

void Enter(QWidget* widget) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(widget, &enter);
}

TEST(UiButton, FillEdgeAndInkFollowKindHoverPressAndDisabled) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        TUiButtonKind Kind;
        bool Enabled, Hover, Press;
        QRgb Fill, Edge, Ink, NotInk;
    };
    const Case cases[] = {
        {"primary", TUiButtonKind::Primary, true, false, false, 0x17324A, 0x17324A, 0xFFFFFF, 0x8A94A0},
        {"primary hovered", TUiButtonKind::Primary, true, true, false, 0x275478, 0x275478, 0xFFFFFF,
         0x8A94A0},
        {"primary pressed", TUiButtonKind::Primary, true, true, true, 0x0F1F2E, 0x0F1F2E, 0xFFFFFF, 0x8A94A0},
        {"primary disabled", TUiButtonKind::Primary, false, false, false, 0xB4BCC4, 0x17324A, 0x8A94A0,
         0xFFFFFF},
        {"secondary", TUiButtonKind::Secondary, true, false, false, 0xFFFFFF, 0xBBC2C9, 0x17324A, 0x8A94A0},
        {"secondary hovered", TUiButtonKind::Secondary, true, true, false, 0xF4F6F8, 0xBBC2C9, 0x17324A,
         0x8A94A0},
        // The outlined button has no pressed colour of its own.
        {"secondary pressed", TUiButtonKind::Secondary, true, true, true, 0xF4F6F8, 0xBBC2C9, 0x17324A,
         0x8A94A0},
        {"secondary disabled", TUiButtonKind::Secondary, false, false, false, 0xFFFFFF, 0xBBC2C9, 0x8A94A0,
         0x17324A},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0xD0E0F0);
        auto* button = new TUiButton(host.Widget());
        button->move(20, 20);
        button->SetKind(c.Kind);
        button->SetText("지금 보내기");
        button->setEnabled(c.Enabled);
        if (c.Hover) Enter(button);
        if (c.Press) QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 20));
        EXPECT_EQ(button->Down(), c.Press);

        const QImage img = Grab(button);
        ASSERT_EQ(img.size(), QSize(120, 40));
        EXPECT_EQ(At(img, 6, 20), Hex(c.Fill)) << "fill left of the caption";
        EXPECT_EQ(At(img, 113, 20), Hex(c.Fill)) << "fill right of the caption";
        EXPECT_EQ(At(img, 60, 0), Hex(c.Edge)) << "top edge";
        EXPECT_EQ(At(img, 0, 20), Hex(c.Edge)) << "left edge";
        EXPECT_EQ(At(img, 0, 0), "#D0E0F0") << "the parent shows in the rounded corner";
        const QRect caption(20, 8, 80, 24);
        EXPECT_GE(CountExact(img, caption, c.Ink), 10) << "caption ink";
        EXPECT_EQ(CountExact(img, caption, c.NotInk), 0) << "no other ink";
    }
}

TEST(UiButton, ClicksOnALeftReleaseInsideAndOnSpaceOrEnter) {
    const ScaleGuard scale(1.0);
    enum class Act { LeftClick, DragOut, RightClick, Key };
    struct Case {
        const char* Name;
        bool Enabled;
        Act Action;
        Qt::Key Key;
        int Clicks;
    };
    const Case cases[] = {
        {"left click", true, Act::LeftClick, Qt::Key_unknown, 1},
        {"released outside", true, Act::DragOut, Qt::Key_unknown, 0},
        {"right click", true, Act::RightClick, Qt::Key_unknown, 0},
        {"space", true, Act::Key, Qt::Key_Space, 1},
        {"return", true, Act::Key, Qt::Key_Return, 1},
        {"keypad enter", true, Act::Key, Qt::Key_Enter, 1},
        {"another key", true, Act::Key, Qt::Key_A, 0},
        {"disabled, left click", false, Act::LeftClick, Qt::Key_unknown, 0},
        {"disabled, space", false, Act::Key, Qt::Key_Space, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0xFFFFFF);
        auto* other = new TUiButton(host.Widget());
        other->move(200, 20);
        auto* button = new TUiButton(host.Widget());
        button->move(20, 20);
        button->setEnabled(c.Enabled);
        host.Activate();
        other->setFocus();
        QSignalSpy clicks(button, &TUiButton::clicked);
        switch (c.Action) {
        case Act::LeftClick:
            QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 20));
            if (c.Enabled) {
                EXPECT_TRUE(button->Down());
                EXPECT_TRUE(button->hasFocus()) << "a press takes the focus";
            }
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 20));
            EXPECT_FALSE(button->Down());
            break;
        case Act::DragOut:
            QTest::mousePress(button, Qt::LeftButton, {}, QPoint(60, 20));
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(160, 20));
            break;
        case Act::RightClick:
            QTest::mouseClick(button, Qt::RightButton, {}, QPoint(60, 20));
            EXPECT_FALSE(button->Down());
            break;
        case Act::Key:
            QTest::keyClick(button, c.Key);
            break;
        }
        EXPECT_EQ(clicks.count(), c.Clicks);
    }
}

TEST(UiButton, LinkUnderlinesOnlyWhileHoveredAndOnlyShapesShowTheFocusRing) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        TUiButtonKind Kind;
        bool Focus, Hover;
        bool Underline, Ring;
        QRgb Fill; // what lies under the ring's place when there is no ring
    };
    const QRgb card = 0xFDF6E3;
    const Case cases[] = {
        {"link", TUiButtonKind::Link, false, false, false, false, card},
        {"link hovered", TUiButtonKind::Link, false, true, true, false, card},
        {"link focused", TUiButtonKind::Link, true, false, false, false, card},
        {"link focused and hovered", TUiButtonKind::Link, true, true, true, false, card},
        {"primary focused", TUiButtonKind::Primary, true, false, false, true, 0x17324A},
        {"secondary focused", TUiButtonKind::Secondary, true, false, false, true, 0xBBC2C9},
        {"secondary", TUiButtonKind::Secondary, false, false, false, false, 0xBBC2C9},
    };
    const QString caption = "협회 화면 열기";
    const int advance = QFontMetrics(UiFont(11, false, true)).horizontalAdvance(caption);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0xFFFFFF);
        // The link sits on a coloured card: its backdrop is the card's fill, not the window's.
        auto* notice = new TUiCard(host.Widget());
        notice->setGeometry(10, 10, 300, 80);
        notice->SetFill(QColor(card));
        auto* button = new TUiButton(notice);
        button->setGeometry(40, 20, 160, 40);
        button->SetKind(c.Kind);
        button->SetText(caption);
        host.Activate();
        // Activating the window focuses its first control; the unfocused rows take it away again.
        if (c.Focus)
            button->setFocus();
        else
            button->clearFocus();
        ASSERT_EQ(button->hasFocus(), c.Focus);
        if (c.Hover) Enter(button);
        const QImage img = Grab(button);

        if (c.Kind == TUiButtonKind::Link) {
            EXPECT_EQ(At(img, 0, 20), Hex(card)) << "a link draws no shape";
            EXPECT_EQ(At(img, 80, 0), Hex(card));
            const int run = LongestRun(img, QRect(0, 2, 160, 36), card);
            if (c.Underline) {
                EXPECT_GE(run, advance * 9 / 10) << "an underline spans the caption";
            } else {
                EXPECT_LT(run, advance / 2) << "no line under the caption";
            }
        }
        const QRgb ringColour = c.Ring ? 0xE8762B : c.Fill;
        EXPECT_EQ(At(img, 0, 20), Hex(ringColour)) << "left edge";
        EXPECT_EQ(At(img, 80, 0), Hex(ringColour)) << "top edge";
        EXPECT_EQ(At(img, 159, 20), Hex(ringColour)) << "right edge";
        EXPECT_EQ(At(img, 80, 39), Hex(ringColour)) << "bottom edge";
        if (c.Ring) {
            EXPECT_EQ(At(img, 1, 20), "#E8762B") << "the ring is two pixels wide";
            EXPECT_NE(At(img, 2, 20), "#E8762B");
            EXPECT_EQ(At(img, 0, 0), "#FDF6E3") << "rounded like the button";
        }
    }
}

} // namespace
} // namespace pavona
