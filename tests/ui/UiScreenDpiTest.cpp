// The scale factor measured from the screen, in a process whose screen DPI is set by QT_FONT_DPI:
// UiScale alone scales (Qt's device-pixel ratio stays 1), and a screen below 96 DPI is not shrunk.
#include "tests/ui/UiTestSupport.h"
#include "ui/UiControls.h"

#include <QScreen>
#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(UiScreenDpi, ScaleComesFromTheScreenAndQtDoesNotScaleAgain) {
    struct Case {
        int Dpi;
        double Factor;
        QSize Button;
        int Font11;
    };
    const Case cases[] = {{144, 1.5, {180, 60}, 22}, {72, 1.0, {120, 40}, 11}, {120, 1.25, {150, 50}, 18}};
    const int dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    const Case* c = nullptr;
    for (const Case& row : cases)
        c = row.Dpi == dpi ? &row : c;
    ASSERT_NE(c, nullptr) << "QT_FONT_DPI " << dpi << " has no row";

    Host host(0xFFFFFF, QSize(300, 100));
    const QScreen* screen = QGuiApplication::primaryScreen();
    EXPECT_EQ(screen->logicalDotsPerInch(), c->Dpi);
    EXPECT_EQ(screen->devicePixelRatio(), 1.0);
    EXPECT_EQ(host.Widget()->devicePixelRatioF(), 1.0);
    EXPECT_EQ(UiScaleFactor(), c->Factor);

    auto* button = new TUiButton(host.Widget());
    button->SetText("지금 보내기");
    EXPECT_EQ(button->size(), c->Button);
    // A second scaling by Qt would make the grabbed image larger than the widget.
    EXPECT_EQ(Grab(button).size(), c->Button);
    EXPECT_EQ(UiFont(11).pixelSize(), c->Font11);
}

} // namespace
} // namespace pavona
