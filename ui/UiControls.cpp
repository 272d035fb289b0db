// The painted controls. Each paints its whole look in paintEvent from its fields; the setters store
// a value and repaint only when it changed, so a page can set every field on every refresh.
#include "ui/UiControls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace pavona {
namespace {

QColor Rgb(QRgb rgb) {
    return QColor(rgb);
}

// One line of text in rect, no "&" processing (QPainter never makes mnemonics unless asked);
// clipped to rect like the Windows DrawText the design was made with.
void DrawLine(QPainter& painter, const QRect& rect, Qt::Alignment align, const QString& text) {
    painter.drawText(rect, static_cast<int>(align | Qt::AlignVCenter) | Qt::TextSingleLine, text);
}

} // namespace

// ---- TUiCard ----

TUiCard::TUiCard(QWidget* parent) : QWidget(parent) {
    // The card paints every pixel itself (Qt's backing store is its double buffer).
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette own = palette();
    own.setColor(QPalette::Window, FFill);
    setPalette(own);
}

void TUiCard::SetAccent(const QColor& accent) {
    if (accent == FAccent) return;
    FAccent = accent;
    update();
}

void TUiCard::SetFill(const QColor& fill) {
    if (fill == FFill) return;
    FFill = fill;
    QPalette own = palette();
    own.setColor(QPalette::Window, FFill);
    setPalette(own);
    update();
}

void TUiCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackdropColor(this));
    FillRound(painter, rect(), UiScale(16), FFill, FBorder);
    if (FAccent.isValid()) {
        // A stripe rounded on the outer side and square on the inner side: a narrow rounded
        // rectangle whose inner half is squared off by a plain fill.
        FillRound(painter, QRect(0, 0, UiScale(12), height()), UiScale(12), FAccent, QColor());
        painter.fillRect(QRect(UiScale(6), 0, UiScale(9) - UiScale(6), height()), FAccent);
    }
}

// ---- TUiMeter ----

TUiMeter::TUiMeter(QWidget* parent) : QWidget(parent) {
    resize(width(), UiScale(12));
}

void TUiMeter::SetPosition(int percent) {
    const int clamped = std::clamp(percent, 0, 100);
    if (clamped == FPosition) return;
    FPosition = clamped;
    update();
}

void TUiMeter::SetBarColor(const QColor& colour) {
    if (colour == FBarColor) return;
    FBarColor = colour;
    update();
}

void TUiMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int h = height();
    FillRound(painter, QRect(0, 0, width(), h), h, Rgb(kUiLine), QColor());
    int w = RoundHalfEven(width() * FPosition / 100.0);
    // Any progress at all shows at least one whole round cap, never a sliver.
    if (w > 0 && w < h) w = h;
    if (w > 0) FillRound(painter, QRect(0, 0, w, h), h, FBarColor, QColor());
}

// ---- TUiClickable ----

TUiClickable::TUiClickable(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TUiClickable::SetText(const QString& text) {
    if (text == FText) return;
    FText = text;
    update();
}

void TUiClickable::enterEvent(QEnterEvent*) {
    FHover = true;
    update();
}

void TUiClickable::leaveEvent(QEvent*) {
    FHover = false;
    update();
}

void TUiClickable::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    FClicking = true;
    event->accept();
}

void TUiClickable::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !FClicking) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    FClicking = false;
    event->accept();
    // Dragging off the control before letting go cancels the click.
    if (rect().contains(event->position().toPoint())) emit clicked();
}

// ---- TUiButton ----

TUiButton::TUiButton(QWidget* parent) : TUiClickable(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(UiScale(120), UiScale(40));
}

void TUiButton::leaveEvent(QEvent* event) {
    FDown = false;
    TUiClickable::leaveEvent(event);
}

void TUiButton::mousePressEvent(QMouseEvent* event) {
    // A disabled button gets no mouse events from Qt at all.
    if (event->button() == Qt::LeftButton && isEnabled()) {
        FDown = true;
        if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
        update();
    }
    TUiClickable::mousePressEvent(event);
}

void TUiButton::mouseReleaseEvent(QMouseEvent* event) {
    FDown = false;
    update();
    TUiClickable::mouseReleaseEvent(event);
}

void TUiButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (isEnabled() && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        emit clicked();
        return;
    }
    TUiClickable::keyPressEvent(event);
}

void TUiButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor backdrop = BackdropColor(this);
    painter.fillRect(rect(), backdrop);

    QColor fill;
    QColor border;
    QColor ink;
    switch (FKind) {
    case TUiButtonKind::Primary:
        fill = Rgb(FDown ? kUiNavyPressed : FHover ? kUiBlue : kUiNavy);
        border = fill;
        ink = Rgb(kUiWhite);
        break;
    case TUiButtonKind::Link:
        ink = Rgb(kUiBlue);
        break;
    case TUiButtonKind::Secondary:
    default: // a kind out of range draws as the default kind
        // No pressed colour: the outlined button only lightens under the pointer.
        fill = Rgb(FHover ? kUiBackdrop : kUiWhite);
        border = Rgb(kUiButtonEdge);
        ink = Rgb(kUiNavy);
        break;
    }
    if (!isEnabled()) {
        ink = Rgb(kUiMuted);
        // The disabled primary button keeps its dark edge around the grey fill.
        if (FKind == TUiButtonKind::Primary) fill = Rgb(kUiDisabledFill);
    }
    const bool link = FKind == TUiButtonKind::Link;
    if (!link) FillRound(painter, rect(), UiScale(12), fill, border);

    SetUiFont(painter, 11, ink, false, true);
    if (link && FHover) {
        QFont underlined = painter.font();
        underlined.setUnderline(true);
        painter.setFont(underlined);
    }
    DrawLine(painter, rect(), Qt::AlignHCenter, Text());

    // A link has no shape to ring; its underline is its only emphasis.
    if (hasFocus() && !link) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(Rgb(kUiOrange), UiScale(2)));
        painter.setBrush(Qt::NoBrush);
        const int inset = UiScale(1);
        const double radius = UiScale(12) / 2.0;
        painter.drawRoundedRect(QRectF(inset, inset, width() - 2 * inset, height() - 2 * inset), radius,
                                radius);
    }
}

// ---- TUiNavItem ----

TUiNavItem::TUiNavItem(QWidget* parent) : TUiClickable(parent) {
    resize(width(), UiScale(48));
}

void TUiNavItem::SetSelected(bool selected) {
    if (selected == FSelected) return;
    FSelected = selected;
    update();
}

void TUiNavItem::SetBadge(const QString& badge) {
    if (badge == FBadge) return;
    FBadge = badge;
    update();
}

void TUiNavItem::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Rgb(FSelected ? kUiWhite : FHover ? kUiNavHover : kUiBackdrop));
    if (FSelected) {
        const int inset = UiScale(10);
        painter.fillRect(QRect(0, inset, UiScale(4), height() - 2 * inset), Rgb(kUiOrange));
    }

    if (FSelected)
        SetUiFont(painter, 12, Rgb(kUiNavy), true);
    else
        SetUiFont(painter, 12, Rgb(kUiNavText), false, true);
    const int textLeft = UiScale(28);
    DrawLine(painter, QRect(textLeft, 0, width() - UiScale(8) - textLeft, height()), Qt::AlignLeft, Text());

    if (FBadge.isEmpty()) return;
    SetUiFont(painter, 9, Rgb(kUiWhite), true);
    const int badgeWidth = painter.fontMetrics().horizontalAdvance(FBadge) + UiScale(16);
    const int badgeHeight = UiScale(22);
    const int right = width() - UiScale(14);
    const QRect badge(right - badgeWidth, (height() - badgeHeight) / 2, badgeWidth, badgeHeight);
    FillRound(painter, badge, badgeHeight, Rgb(kUiOrange), QColor());
    DrawLine(painter, badge, Qt::AlignHCenter, FBadge);
}

// ---- TUiPill ----

TUiPill::TUiPill(QWidget* parent, const QColor& ink) : QWidget(parent), FInk(ink) {
    resize(UiScale(150), UiScale(30));
}

void TUiPill::SetFill(const QColor& fill) {
    if (fill == FFill) return;
    FFill = fill;
    update();
}

void TUiPill::SetDot(const QColor& dot) {
    if (dot == FDot) return;
    FDot = dot;
    update();
}

void TUiPill::SetText(const QString& text) {
    if (text == FText) return;
    FText = text;
    update();
}

void TUiPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackdropColor(this));
    FillRound(painter, rect(), height(), FFill, QColor());

    const int dotLeft = UiScale(13);
    const int dotSize = UiScale(9);
    const int dotTop = (height() - dotSize) / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(FDot);
    painter.drawEllipse(QRectF(dotLeft, dotTop, UiScale(22) - dotLeft, dotSize));
    painter.restore();

    SetUiFont(painter, 10, FInk, false, true);
    const int textLeft = UiScale(30);
    DrawLine(painter, QRect(textLeft, 0, width() - UiScale(12) - textLeft, height()), Qt::AlignLeft, FText);
}

} // namespace pavona
