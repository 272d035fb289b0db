// What the history page tests share: waiting until a page shows what it was asked for (its reads
// and filters run on other threads), reading a list's cells, and failures that print texts.
#pragma once

#include "tests/ui/UiTestSupport.h"
#include "ui/PageParts.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>
#include <QThread>

#include <ostream>
#include <string>
#include <vector>

// Failures print the text itself, not its UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace pavona {

// Runs the window's event loop until the page is no longer busy (at most `ms`); false on time-out.
template <class TPage> bool WaitSettled(const TPage& page, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!page.Busy()) return true;
        QThread::msleep(1);
    } while (clock.elapsed() < ms);
    return !page.Busy();
}

// Types the text key by key into the widget; unlike QTest::keyClicks it takes Hangul too.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

inline std::string Cell(const QTableView* list, int row, int column) {
    return list->model()->index(row, column).data().toString().toStdString();
}

// One column of every row, top to bottom.
inline std::vector<std::string> ColumnOf(const QTableView* list, int column) {
    std::vector<std::string> out;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        out.push_back(Cell(list, row, column));
    return out;
}

} // namespace pavona
