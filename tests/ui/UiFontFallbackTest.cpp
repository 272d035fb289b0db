// Without Pretendard (this process never loads it) and without "Malgun Gothic", Qt's own fallback
// still finds an installed font with Hangul, so Korean text never shows as boxes.
#include "tests/ui/UiTestSupport.h"

#include <QFont>
#include <QPainter>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(UiFontFallback, KoreanTextFindsHangulGlyphsWithoutTheFaces) {
    UiTestApp();
    const struct {
        const char* Name;
        bool Bold;
    } cases[] = {{"regular", false}, {"bold", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFont font("Malgun Gothic");
        font.setPixelSize(15);
        font.setBold(c.Bold);
        const QString text = "농할 지원 한도";
        QTextLayout layout(text, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        int glyphs = 0;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            SCOPED_TRACE(run.rawFont().familyName().toStdString());
            for (const quint32 glyph : run.glyphIndexes()) {
                EXPECT_NE(glyph, 0u) << "a missing-glyph box";
                ++glyphs;
            }
        }
        EXPECT_EQ(glyphs, text.size());

        QImage img(200, 30, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter painter(&img);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(img.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
        painter.end();
        const int blank = CountExact(img, img.rect(), 0xFFFFFF);
        EXPECT_GE(img.width() * img.height() - blank, 40) << "the text shows ink";
    }
}

} // namespace
} // namespace pavona
