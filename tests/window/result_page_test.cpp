// The result page drawn on its own: geometry of the rows, which slots show,
// cut-off at the edge, and bytes that are not UTF-8.
#include <QFontMetrics>
#include <QtTest>

#include <string>

#include "app/main_window.h"
#include "app/scan_state.h"
#include "output/result_page_view.h"
#include "window_test_support.h"

using namespace vorlex;
using namespace vorlex::window_test;

namespace {

QImage NewPage() { return QImage(kPageWidth, kPageHeight, QImage::Format_RGB32); }

void SetReport(ScanState& state, const std::vector<std::string>& lines, std::int64_t entry_count) {
  state.ReportLines.clear();
  for (const std::string& line : lines) state.ReportLines.push_back(line);
  state.EntryCount = entry_count;
}

// Top-most and left-most dark pixel of the page's inside, or (-1, -1).
QPoint InkTopLeft(const QImage& page) {
  QPoint top_left(-1, -1);
  for (int y = 1; y < page.height() - 1 && top_left.y() < 0; ++y) {
    for (int x = 1; x < page.width() - 1; ++x) {
      if (IsDark(page.pixel(x, y))) {
        top_left.setY(y);
        break;
      }
    }
  }
  for (int x = 1; x < page.width() - 1 && top_left.x() < 0; ++x) {
    for (int y = 1; y < page.height() - 1; ++y) {
      if (IsDark(page.pixel(x, y))) {
        top_left.setX(x);
        break;
      }
    }
  }
  return top_left;
}

}  // namespace

class ResultPageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstallWindowFont();
    font_ = QFont(QStringLiteral("ＭＳ Ｐゴシック"));
    font_.setPixelSize(12);
    // Without the Japanese face every glyph below would be a box.
    QCOMPARE(QFontInfo(font_).family(), QStringLiteral("IPAPGothic"));
  }

  void applicationTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "/usr/bin/vorlex" << "Vorlex";
    QTest::newRow("upper case with extension") << "FINDER.EXE" << "Finder";
    QTest::newRow("cut at the first dot") << "/opt/VORLEX.bin.old" << "Vorlex";
    QTest::newRow("dot in a directory") << "/opt/my.apps/scanner" << "Scanner";
    QTest::newRow("mixed case") << "/x/wINDOW_Tests" << "Window_tests";
    QTest::newRow("name is an extension") << "/x/.hidden" << "";
    QTest::newRow("empty") << "" << "";
  }

  void applicationTitle() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(ApplicationTitleOf(path), title);
  }

  // A text's top-left corner lies at the point given, not its baseline.
  void textTopLeftAt_data() {
    QTest::addColumn<QPoint>("at");
    QTest::newRow("first row") << QPoint(10, 10);
    QTest::newRow("last row") << QPoint(10, 310);
    QTest::newRow("anywhere") << QPoint(333, 77);
  }

  void textTopLeftAt() {
    QFETCH(QPoint, at);
    QImage page = NewPage();
    ClearPage(page);
    DrawPageText(page, font_, "|M", at.x(), at.y());
    const QPoint ink = InkTopLeft(page);
    QVERIFY2(ink.x() >= at.x() && ink.x() <= at.x() + 2, qPrintable(QString::number(ink.x())));
    QVERIFY2(ink.y() >= at.y() && ink.y() <= at.y() + 2, qPrintable(QString::number(ink.y())));
    // The glyphs stay inside their 12-pixel row.
    QCOMPARE(DarkPixels(page, QRect(1, at.y() + kPageRowPitch, kPageWidth - 2, 10)), 0);
  }

  void drawingStartsFromABlankPage() {
    QImage page = NewPage();
    page.fill(Qt::red);
    ScanState state;
    SetReport(state, {"old line"}, 1);
    DrawResultPage(page, font_, state, 0);
    QVERIFY(RowHasText(page, 0));
    SetReport(state, {""}, 0);
    DrawResultPage(page, font_, state, 0);
    const QString fault = BlankPageFault(page);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
  }

  // One group of two files: "1", two member lines, the closing empty line.
  void onlySlotsBelowEntryCountShow_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<QList<bool>>("rows");  // text in rows 0, 1, 2, 3
    QTest::newRow("top") << 0 << QList<bool>{true, true, true, false};
    QTest::newRow("last line alone") << 2 << QList<bool>{true, false, false, false};
    QTest::newRow("end of the range") << 3 << QList<bool>{false, false, false, false};
  }

  void onlySlotsBelowEntryCountShow() {
    QFETCH(int, first);
    QFETCH(QList<bool>, rows);
    ScanState state;
    SetReport(state, {"1", "a.txt       /a.txt", "a.txt       /d/a.txt", ""}, 3);
    QImage page = NewPage();
    DrawResultPage(page, font_, state, first);
    for (int row = 0; row < kPageRows; ++row) {
      const bool want = row < rows.size() && rows[row];
      QVERIFY2(RowHasText(page, row) == want, qPrintable(QStringLiteral("row %1").arg(row)));
    }
    QCOMPARE(page.pixel(0, 0) & 0xFFFFFF, 0u);
    QCOMPARE(page.pixel(720, 336) & 0xFFFFFF, 0u);
  }

  // After a Start that failed midway EntryCount can count files while the
  // table holds an older, shorter report: the page must not read past it.
  void slotsBeyondTheTableAreNeverRead() {
    ScanState state;
    SetReport(state, {"x", "y", "z"}, 5000);
    QImage page = NewPage();
    DrawResultPage(page, font_, state, 0);
    for (int row = 0; row < kPageRows; ++row) QCOMPARE(RowHasText(page, row), row < 3);
    DrawResultPage(page, font_, state, 4000);
    QVERIFY(BlankPageFault(page).isEmpty());
    DrawResultPage(page, font_, state, -2);
    QVERIFY(!RowHasText(page, 1));
    QVERIFY(RowHasText(page, 2));
  }

  void longLineIsCutAtThePageEdge() {
    ScanState state;
    SetReport(state, {std::string(600, 'W') + " end", "", ""}, 2);
    QImage page = NewPage();
    DrawResultPage(page, font_, state, 0);
    QVERIFY(RowInkRight(page, 0) >= kPageWidth - 12);
    // Cut off, never wrapped into the next row, and the frame below is whole.
    QVERIFY(!RowHasText(page, 1));
    for (int y = 0; y < kPageHeight; ++y) QVERIFY(IsDark(page.pixel(kPageWidth - 1, y)));
  }

  // File names are bytes; a name that is not UTF-8 still draws, with
  // replacement characters where its bytes make no sense.
  void bytesThatAreNotUtf8StillDraw() {
    ScanState state;
    SetReport(state, {"\xff\xfe", "caf\xe9 \xe6\x97", "\xe6\x97\xa5\xe6\x9c\xac", ""}, 3);
    QImage page = NewPage();
    DrawResultPage(page, font_, state, 0);
    QVERIFY(RowHasText(page, 0));
    QVERIFY(RowHasText(page, 1));
    QVERIFY(RowHasText(page, 2));
    // "日本" is two ideographs, about 24 pixels wide.
    const int right = RowInkRight(page, 2);
    QVERIFY2(right >= 10 + 18 && right <= 10 + 26, qPrintable(QString::number(right)));
  }

 private:
  QFont font_;
};

QTEST_MAIN(ResultPageTest)
#include "result_page_test.moc"
