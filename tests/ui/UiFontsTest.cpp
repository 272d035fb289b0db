// The embedded typefaces: which faces LoadUiFonts chooses, that Korean text is drawn in Pretendard
// itself (no glyph borrowed from another font), and that a label with Korean text shows ink.
#include "tests/ui/UiTestSupport.h"
#include "ui/AgentUi.h"

#include <QFontMetrics>
#include <QLabel>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

#include <set>

namespace pavona {
namespace {

const QString kKorean = "농할 지원 한도";

TEST(UiFonts, LoadedFacesArePretendard) {
    UiTestApp();
    LoadUiFonts();
    EXPECT_EQ(RegularFace(), "Pretendard");
    EXPECT_EQ(SemiBoldFace(), "Pretendard SemiBold");
    const struct {
        const char* Name;
        bool Installed;
    } faces[] = {{"Pretendard", true}, {"pretendard semibold", true}, {"No Such Face At All", false}};
    for (const auto& f : faces) {
        SCOPED_TRACE(f.Name);
        EXPECT_EQ(FaceInstalled(f.Name), f.Installed);
    }
}

TEST(UiFonts, FallsBackToMalgunGothicForBothFaces) {
    struct Case {
        const char* Name;
        std::set<QString> Installed;
        const char* Regular;
        const char* SemiBold;
    };
    const Case cases[] = {
        {"both", {"Pretendard", "Pretendard SemiBold"}, "Pretendard", "Pretendard SemiBold"},
        {"no semibold", {"Pretendard"}, "Pretendard", "Pretendard"},
        {"semibold alone", {"Pretendard SemiBold"}, "Malgun Gothic", "Malgun Gothic"},
        {"none", {}, "Malgun Gothic", "Malgun Gothic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TUiFaces faces =
            ChooseUiFaces([&](const QString& name) { return c.Installed.count(name) > 0; });
        EXPECT_EQ(faces.Regular, c.Regular);
        EXPECT_EQ(faces.SemiBold, c.SemiBold);
    }
}

TEST(UiFonts, KoreanTextIsDrawnInPretendardItself) {
    UiTestApp();
    struct Case {
        const char* Name;
        bool Bold, Semi;
        const char* Style;
    };
    const Case cases[] = {
        {"regular", false, false, "Regular"},
        {"semibold", false, true, "SemiBold"},
        {"bold", true, false, "Bold"},
        // Bold wins over semi: the regular face in bold.
        {"bold and semi", true, true, "Bold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QFont font = UiFont(11, c.Bold, c.Semi);
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid());
        EXPECT_TRUE(raw.familyName().startsWith("Pretendard")) << raw.familyName().toStdString();
        EXPECT_EQ(raw.styleName(), c.Style);
        for (const QChar ch : kKorean)
            EXPECT_TRUE(raw.supportsCharacter(ch)) << static_cast<int>(ch.unicode());

        // Laid out as the controls lay out a caption, every glyph comes from Pretendard.
        QTextLayout layout(kKorean, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        ASSERT_FALSE(runs.isEmpty());
        for (const QGlyphRun& run : runs) {
            EXPECT_EQ(run.rawFont().styleName(), c.Style);
            EXPECT_TRUE(run.rawFont().familyName().startsWith("Pretendard"));
            for (const quint32 glyph : run.glyphIndexes())
                EXPECT_NE(glyph, 0u) << "no missing-glyph box";
        }
    }
}

TEST(UiFonts, LabelsShowTheirWholeCaption) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        QString Caption;
        bool Bold, Semi;
    };
    const Case cases[] = {
        {"Korean, regular", kKorean, false, false},
        {"Korean, semibold", kKorean, false, true},
        {"Korean, bold", "농할 에이전트", true, false},
        // "&" is a character of the caption, never an accelerator marker.
        {"ampersand", "R&D 점검", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host host(0xFFFFFF, QSize(300, 60));
        QLabel* label =
            MakeLabel(host.Widget(), 10, 10, 260, 30, c.Caption, 11, QColor(0x0F1F2E), c.Bold, false, c.Semi);
        const QImage img = Grab(host.Widget());
        const QRect ink = InkBounds(img, label->geometry(), 0xFFFFFF);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_GE(CountExact(img, ink, 0x0F1F2E), 10) << "solid strokes in the label's colour";
        // Top-left aligned, and as wide as the whole caption measures.
        const int advance = QFontMetrics(label->font()).horizontalAdvance(c.Caption);
        EXPECT_LE(ink.left(), 10 + 3);
        EXPECT_LE(ink.top(), 10 + 8);
        EXPECT_NEAR(ink.width(), advance, 4);
    }
}

} // namespace
} // namespace pavona
