// The dashboard's five painted controls: card, meter, button, navigation item and pill. Every size
// they draw passes through UiScale; their colours are the palette of ui/AgentUi.h. The meter, the
// navigation item and the pill have no window of their own: plain child widgets on the parent.
#pragma once

#include "ui/AgentUi.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace pavona {

// A container panel with rounded corners, a border and an optional stripe on its left edge.
// Children that ask for their backdrop (BackdropColor) get its fill.
class TUiCard : public QWidget {
    Q_OBJECT
  public:
    explicit TUiCard(QWidget* parent = nullptr);

    QColor Accent() const { return FAccent; }
    QColor Fill() const { return FFill; }
    QColor Border() const { return FBorder; }
    // An invalid colour draws no stripe.
    void SetAccent(const QColor& accent);
    // Also the card's own background colour.
    void SetFill(const QColor& fill);
    // Stored without a repaint: a page that changes it repaints the card along with its other changes.
    void SetBorder(const QColor& border) { FBorder = border; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor FAccent;
    QColor FFill{kUiWhite};
    QColor FBorder{kUiLine};
};

// A rounded progress bar over a grey track, 0 to 100 percent. It paints no background of its own,
// so the parent shows in its corners.
class TUiMeter : public QWidget {
    Q_OBJECT
  public:
    explicit TUiMeter(QWidget* parent = nullptr);

    int Position() const { return FPosition; }
    QColor BarColor() const { return FBarColor; }
    // Clamped to 0..100 first.
    void SetPosition(int percent);
    void SetBarColor(const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int FPosition = 0;
    QColor FBarColor{kUiGreen};
};

// Hover and click the way a pointer gives them: entering and leaving set Hover, and a left press
// released inside the control emits clicked.
class TUiClickable : public QWidget {
    Q_OBJECT
  public:
    bool Hover() const { return FHover; }
    QString Text() const { return FText; }
    void SetText(const QString& text);

  signals:
    void clicked();

  protected:
    explicit TUiClickable(QWidget* parent);
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    bool FHover = false;

  private:
    QString FText;
    bool FClicking = false; // a left press began on this control and has not been released
};

enum class TUiButtonKind : std::uint8_t { Primary, Secondary, Link };

// A focusable push button: filled (Primary), outlined (Secondary) or a text link (Link). It shows
// hover, a pressed fill, a focus ring and a disabled look, and clicks on Space and Enter too.
class TUiButton : public TUiClickable {
    Q_OBJECT
  public:
    explicit TUiButton(QWidget* parent = nullptr);

    TUiButtonKind Kind() const { return FKind; }
    // Stored without a repaint: a page that switches the kind of a visible button repaints it.
    void SetKind(TUiButtonKind kind) { FKind = kind; }
    bool Down() const { return FDown; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    TUiButtonKind FKind = TUiButtonKind::Secondary;
    bool FDown = false;
};

// One entry of the navigation column: a selected bar on its left edge, an optional badge on its
// right. The window connects clicked to show the page.
class TUiNavItem : public TUiClickable {
    Q_OBJECT
  public:
    explicit TUiNavItem(QWidget* parent = nullptr);

    bool Selected() const { return FSelected; }
    QString Badge() const { return FBadge; }
    void SetSelected(bool selected);
    // Empty shows no badge.
    void SetBadge(const QString& badge);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool FSelected = false;
    QString FBadge;
};

// A rounded status chip: a dot and a caption on a filled capsule.
class TUiPill : public QWidget {
    Q_OBJECT
  public:
    // The ink (caption colour) is chosen once, here.
    explicit TUiPill(QWidget* parent = nullptr, const QColor& ink = QColor(kUiWhite));

    QColor Fill() const { return FFill; }
    QColor Dot() const { return FDot; }
    QColor Ink() const { return FInk; }
    QString Text() const { return FText; }
    void SetFill(const QColor& fill);
    void SetDot(const QColor& dot);
    void SetText(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor FFill{kUiBlue};
    QColor FDot{kUiMuted};
    QColor FInk;
    QString FText;
};

} // namespace pavona
