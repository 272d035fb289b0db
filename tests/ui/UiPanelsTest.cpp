// The painted meter, navigation item, card and pill, read back from grabbed pixels, and the
// setters that repaint only when a value changes.
#include "tests/ui/UiTestSupport.h"
#include "ui/UiControls.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <functional>
#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(UiMeter, ClampsItsPositionAndAlwaysShowsAWholeCap) {
    const ScaleGuard scale(1.0);
    struct Case {
        int Width, Set;
        int Stored;
        int Bar; // expected bar width in pixels, 0 = track only
    };
    const Case cases[] = {
        {200, 0, 0, 0},       {200, 3, 3, 12}, // 6 pixels would be a sliver: a whole 12-pixel cap instead
        {200, 6, 6, 12},                       // exactly the height
        {200, 7, 7, 14},      {200, 50, 50, 100}, {250, 5, 5, 12}, // 12.5 rounds to the even 12
        {250, 7, 7, 18},                                           // 17.5 rounds to the even 18
        {40, 1, 1, 0},                                             // 0.4 rounds to nothing: track only
        {200, 150, 100, 200}, {200, -5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " px at " << c.Set << " %");
        Host host(0xFFFFFF);
        auto* meter = new TUiMeter(host.Widget());
        meter->setGeometry(10, 10, c.Width, 12);
        meter->SetPosition(c.Set);
        EXPECT_EQ(meter->Position(), c.Stored);

        const QImage img = Grab(host.Widget()).copy(10, 10, c.Width, 12);
        const int mid = 6;
        EXPECT_EQ(At(img, 0, 0), "#FFFFFF") << "the parent shows in the corner";
        if (c.Bar > 0) {
            EXPECT_EQ(At(img, c.Bar - 3, mid), "#1F8A4C") << "bar";
        } else {
            EXPECT_EQ(At(img, 5, mid), "#E1E6EA") << "track where a bar would start";
        }
        if (c.Bar > 0 && c.Bar < c.Width) {
            EXPECT_EQ(At(img, c.Bar, mid), "#E1E6EA") << "track just after the bar";
        }
        EXPECT_EQ(CountExact(img, img.rect(), 0x1F8A4C) > 0, c.Bar > 0);
    }
}

TEST(UiNavItem, SelectedBarHoverAndBadgeGeometry) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        bool Selected, Hover;
        QString Badge;
        QRgb Back;
    };
    const Case cases[] = {
        {"plain", false, false, "", 0xF4F6F8},
        {"hovered", false, true, "", 0xE8ECF0},
        {"selected", true, false, "", 0xFFFFFF},
        {"selected, hovered", true, true, "", 0xFFFFFF},
        {"badge", false, false, "주의", 0xF4F6F8},
        {"selected with a long badge", true, false, "한도 소진", 0xFFFFFF},
        {"badge of digits", false, true, "12", 0xE8ECF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0x000000);
        auto* item = new TUiNavItem(host.Widget());
        item->setGeometry(0, 20, 200, 48);
        item->SetText("현황");
        item->SetSelected(c.Selected);
        item->SetBadge(c.Badge);
        if (c.Hover) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(item, &enter);
        }
        const QImage img = Grab(item);
        ASSERT_EQ(img.size(), QSize(200, 48));
        EXPECT_EQ(At(img, 10, 2), Hex(c.Back));
        // The bar: x 0..3, y 10..37.
        const std::string bar = c.Selected ? "#E8762B" : Hex(c.Back);
        for (const QPoint p : {QPoint(0, 10), QPoint(3, 10), QPoint(0, 37), QPoint(3, 24)})
            EXPECT_EQ(At(img, p.x(), p.y()), bar) << p.x() << "," << p.y();
        for (const QPoint p : {QPoint(4, 24), QPoint(0, 9), QPoint(0, 38)})
            EXPECT_EQ(At(img, p.x(), p.y()), Hex(c.Back)) << p.x() << "," << p.y();

        if (c.Badge.isEmpty()) {
            EXPECT_EQ(CountExact(img, img.rect(), 0xE8762B), c.Selected ? 4 * 28 : 0);
            continue;
        }
        // Right edge 14 pixels in from the item's, 22 high and centred, 16 wider than its text.
        const int width = QFontMetrics(UiFont(9, true)).horizontalAdvance(c.Badge) + 16;
        const int right = 200 - 14, left = right - width, top = (48 - 22) / 2, bottom = top + 22;
        // Samples away from the text: in the caps beside it, on the straight edges above and below.
        const int cx = left + width / 2, cy = top + 11;
        EXPECT_EQ(At(img, left + 4, cy), "#E8762B");
        EXPECT_EQ(At(img, right - 5, cy), "#E8762B");
        EXPECT_EQ(At(img, left + 1, cy), "#E8762B") << "left end";
        EXPECT_EQ(At(img, left - 1, cy), Hex(c.Back));
        EXPECT_EQ(At(img, right - 2, cy), "#E8762B") << "right end";
        EXPECT_EQ(At(img, right, cy), Hex(c.Back));
        EXPECT_EQ(At(img, cx, top), "#E8762B") << "top";
        EXPECT_EQ(At(img, cx, top - 1), Hex(c.Back));
        EXPECT_EQ(At(img, cx, bottom - 1), "#E8762B") << "bottom";
        EXPECT_EQ(At(img, cx, bottom), Hex(c.Back));
        EXPECT_GE(CountExact(img, QRect(left, top, width, 22), 0xFFFFFF), 5) << "white badge text";
    }
}

TEST(UiCardAndPill, ShapesStripeAndDotOnTheirBackdrop) {
    const ScaleGuard scale(1.0);
    Host host(0xF4F6F8, QSize(420, 200));
    auto* card = new TUiCard(host.Widget());
    card->setGeometry(10, 10, 400, 120);
    card->SetAccent(QColor(0xC27C0E));
    auto* plain = new TUiCard(host.Widget());
    plain->setGeometry(10, 140, 400, 50);
    plain->SetFill(QColor(0xFCEDEC));
    plain->SetBorder(QColor(0xF0C0B9));
    auto* pill = new TUiPill(card);
    pill->setGeometry(200, 40, 180, 32);
    pill->SetText("협회 연결됨");
    pill->SetDot(QColor(0x7AD271));
    const QImage img = Grab(host.Widget());

    struct Case {
        const char* Name;
        QPoint At;
        QRgb Want;
    };
    const Case cases[] = {
        {"window corner outside the card", {10, 10}, 0xF4F6F8},
        {"stripe, outer part", {11, 70}, 0xC27C0E},
        {"stripe, squared inner part", {18, 10}, 0xC27C0E},
        {"stripe's last column", {10 + 11, 70}, 0xC27C0E},
        {"fill right of the stripe", {10 + 12, 70}, 0xFFFFFF},
        {"right border", {409, 70}, 0xE1E6EA},
        {"bottom border", {200, 129}, 0xE1E6EA},
        {"coloured card fill", {200, 165}, 0xFCEDEC},
        {"coloured card border", {200, 140}, 0xF0C0B9},
        {"pill corner shows the card", {210, 50}, 0xFFFFFF},
        {"pill fill above the caption", {210 + 40, 50 + 3}, 0x275478},
        {"pill dot centre", {210 + 17, 50 + 15}, 0x7AD271},
        {"pill fill right of the dot", {210 + 23, 50 + 15}, 0x275478},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(At(img, c.At.x(), c.At.y()), Hex(c.Want));
    }
    EXPECT_GE(CountExact(img, QRect(240, 50, 140, 32), 0xFFFFFF), 10) << "white pill caption";
}

// Counts the paint events one widget receives.
class PaintCounter : public QObject {
  public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        Count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST(UiControls, SettersRepaintOnlyWhenTheValueChanges) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        std::function<QWidget*(QWidget*)> Make;
        std::function<void(QWidget*)> Set;
        bool Repaints;
    };
    auto meter = [](QWidget* parent) {
        auto* m = new TUiMeter(parent);
        m->SetPosition(100);
        return static_cast<QWidget*>(m);
    };
    auto card = [](QWidget* parent) { return static_cast<QWidget*>(new TUiCard(parent)); };
    auto nav = [](QWidget* parent) {
        auto* n = new TUiNavItem(parent);
        n->SetBadge("주의");
        return static_cast<QWidget*>(n);
    };
    auto pill = [](QWidget* parent) { return static_cast<QWidget*>(new TUiPill(parent)); };
    const Case cases[] = {
        {"meter, same position", meter, [](QWidget* w) { static_cast<TUiMeter*>(w)->SetPosition(100); },
         false},
        {"meter, 150 clamps to the same 100", meter,
         [](QWidget* w) { static_cast<TUiMeter*>(w)->SetPosition(150); }, false},
        {"meter, new position", meter, [](QWidget* w) { static_cast<TUiMeter*>(w)->SetPosition(40); }, true},
        {"meter, same bar colour", meter,
         [](QWidget* w) { static_cast<TUiMeter*>(w)->SetBarColor(QColor(0x1F8A4C)); }, false},
        {"card, same fill", card, [](QWidget* w) { static_cast<TUiCard*>(w)->SetFill(QColor(0xFFFFFF)); },
         false},
        {"card, new fill", card, [](QWidget* w) { static_cast<TUiCard*>(w)->SetFill(QColor(0xFDF6E3)); },
         true},
        {"card, new accent", card, [](QWidget* w) { static_cast<TUiCard*>(w)->SetAccent(QColor(0x1F8A4C)); },
         true},
        {"card, border (no repaint of its own)", card,
         [](QWidget* w) { static_cast<TUiCard*>(w)->SetBorder(QColor(0xF0C0B9)); }, false},
        {"nav, same badge", nav, [](QWidget* w) { static_cast<TUiNavItem*>(w)->SetBadge("주의"); }, false},
        {"nav, badge removed", nav, [](QWidget* w) { static_cast<TUiNavItem*>(w)->SetBadge(""); }, true},
        {"nav, selected", nav, [](QWidget* w) { static_cast<TUiNavItem*>(w)->SetSelected(true); }, true},
        {"pill, same dot", pill, [](QWidget* w) { static_cast<TUiPill*>(w)->SetDot(QColor(0x8A94A0)); },
         false},
        {"pill, new dot", pill, [](QWidget* w) { static_cast<TUiPill*>(w)->SetDot(QColor(0x7AD271)); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0xFFFFFF);
        QWidget* widget = c.Make(host.Widget());
        widget->setGeometry(10, 10, 200, 40);
        host.Activate();
        QApplication::processEvents();
        PaintCounter counter;
        widget->installEventFilter(&counter);
        c.Set(widget);
        QApplication::processEvents();
        EXPECT_EQ(counter.Count > 0, c.Repaints) << counter.Count << " paints";
    }
}

} // namespace
} // namespace pavona
