// The window on Qt's offscreen platform: start-up, Start on fixture trees,
// scrolling, drive changes, closing, the error report and Save. grab() gives
// the pixels the screen would show.
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/scan_state.h"
#include "app/texts.h"
#include "output/result_page_view.h"
#include "window_test_support.h"

using namespace vorlex;
using namespace vorlex::window_test;

namespace {

QString Q(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

TForm1Options Options(ScanState& state, std::vector<std::string> drives,
                      std::function<std::unique_ptr<DirectorySearch>()> make_search = {}) {
  TForm1Options options;
  options.start_drive = drives.front();
  options.drives = std::move(drives);
  options.state = &state;
  options.make_search = std::move(make_search);
  return options;
}

QImage PageOf(const TForm1& form) { return form.Image1->grab().toImage(); }

// "" when every row of the page shows what slot first + row should: text
// whose right end matches the line's width for a drawable, non-empty slot,
// nothing otherwise.
QString PageRowsFault(const QImage& page, const ScanState& state, std::int64_t first,
                      const QFont& font) {
  const QFontMetrics metrics(font);
  for (int row = 0; row < kPageRows; ++row) {
    const std::int64_t slot = first + row;
    const bool drawn = slot < state.EntryCount && !state.ReportLines[slot].empty();
    const int right = RowInkRight(page, row);
    if (!drawn) {
      if (right >= 0) return QStringLiteral("row %1 should be blank").arg(row);
      continue;
    }
    const int width = metrics.horizontalAdvance(Q(state.ReportLines[slot]));
    const int want = std::min(kPageTextLeft + width - 1, kPageWidth - 2);
    const bool ok = want >= kPageWidth - 2 ? right >= kPageWidth - 20 : std::abs(right - want) <= 4;
    if (!ok) {
      return QStringLiteral("row %1 (slot %2) ends at %3, expected about %4")
          .arg(row).arg(slot).arg(right).arg(want);
    }
  }
  return QString();
}

// Files named alike in places, a Japanese name among them, 6 files in all:
// a.txt three times (1 + 3 + 1 KB), 日本語.txt twice (1 + 1 KB).
std::vector<FixtureFile> GroupsTree() {
  return {{"a.txt", 0},        {"Data/a.txt", 2048},     {"Data/Sub/a.txt", 0},
          {"日本語.txt", 0},   {"Data/日本語.txt", 10},  {"unique.txt", 5000}};
}

}  // namespace

class TForm1Test : public QObject {
  Q_OBJECT

 private slots:
  void startUp() {
    FixtureTree tree({{"a.txt"}});
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    QCOMPARE(Form1, &form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QStringLiteral("Vorlex２"));
    QCOMPARE(QFontInfo(form.Button1->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(form.Button1->font()).pixelSize(), 12);
    QCOMPARE(form.Button1->text(), QStringLiteral("スタート(&S)"));
    QCOMPARE(form.Button2->text(), QStringLiteral("閉じる(&C)"));
    QCOMPARE(form.Button3->text(), QStringLiteral("保存(&L)"));
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));

    QCOMPARE(form.Label1->text(), QString());
    QCOMPARE(form.Label2->text(), QString());
    QVERIFY(form.Label1->isVisible());
    QVERIFY(form.Label2->isVisible());
    QVERIFY(form.Button3->isHidden());
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.ProgressBar1->maximum(), 1000);
    QCOMPARE(form.ScrollBar1->orientation(), Qt::Vertical);
    QCOMPARE(form.ScrollBar1->minimum(), 0);
    QCOMPARE(form.ScrollBar1->maximum(), 100);
    QCOMPARE(form.ScrollBar1->value(), 0);
    QCOMPARE(form.ScrollBar1->pageStep(), 5);
    QCOMPARE(form.ScrollBar1->singleStep(), 1);

    QCOMPARE(state.DriveLetter, tree.Root());
    QCOMPARE(form.DriveComboBox1->currentText(), Q(tree.Root()));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d$"))
                .match(Q(state.StartDate)).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d$"))
                .match(Q(state.StartTime)).hasMatch());

    const QString fault = BlankPageFault(PageOf(form));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    // Layout of the client area, and no two components overlap.
    const std::vector<std::pair<QWidget*, QRect>> layout = {
        {form.Image1, QRect(40, 120, 721, 337)},     {form.Button1, QRect(376, 16, 65, 33)},
        {form.DriveComboBox1, QRect(208, 16, 137, 18)}, {form.Button2, QRect(16, 16, 65, 33)},
        {form.Button3, QRect(112, 16, 65, 33)},      {form.ProgressBar1, QRect(16, 88, 745, 16)},
        {form.ScrollBar1, QRect(16, 120, 17, 209)}};
    for (const auto& [widget, rect] : layout) QCOMPARE(widget->geometry(), rect);
    QCOMPARE(form.Label1->pos(), QPoint(256, 64));
    QCOMPARE(form.Label2->pos(), QPoint(40, 64));

    // Tab order: Start, drive chooser, Close, Save, progress bar, scroll bar.
    const QList<QWidget*> order = {form.Button1, form.DriveComboBox1, form.Button2,
                                   form.Button3, form.ProgressBar1, form.ScrollBar1};
    QList<QWidget*> chain;
    for (QWidget* w = form.Button1; chain.size() < order.size(); w = w->nextInFocusChain()) {
      if (order.contains(w)) chain.append(w);
    }
    QCOMPARE(chain, order);
  }

  void startFindsGroups() {
    FixtureTree tree(GroupsTree());
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ScrollBar1->setValue(40);  // left there before the scan; the report resets it

    QTest::mouseClick(form.Button1, Qt::LeftButton);

    QCOMPARE(state.DrivePrefix, tree.Root());
    QCOMPARE(form.Label2->text(), QStringLiteral("総ファイル数＝6"));
    QCOMPARE(form.Label1->text(),
             QStringLiteral("同名ファイル＝2組　　そのファイル数＝5    その合計サイズ＝7 KB"));
    QVERIFY(form.Label1->isVisible());
    QVERIFY(form.Label2->isVisible());
    QVERIFY(!form.Button3->isHidden());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form.Button1->cursor().shape(), Qt::ArrowCursor);

    // "1", three a.txt lines, "", "2", two 日本語.txt lines, "".
    QCOMPARE(state.EntryCount, 8);
    QCOMPARE(form.ScrollBar1->minimum(), 0);
    QCOMPARE(form.ScrollBar1->maximum(), 8);
    QCOMPARE(form.ScrollBar1->value(), 0);
    const QImage page = PageOf(form);
    const QString fault = PageRowsFault(page, state, 0, form.Image1->font());
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY(RowHasText(page, 7));
    QVERIFY(!RowHasText(page, 8));
  }

  void startFindsNoGroup() {
    FixtureTree tree({{"a.txt"}, {"b.txt"}, {"Data/c.txt"}});
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    form.show();
    QTest::mouseClick(form.Button1, Qt::LeftButton);

    QCOMPARE(state.EntryCount, 0);
    QCOMPARE(Q(state.ReportLines[0]), Q(texts::kNoSameName));
    QCOMPARE(form.Label2->text(), QStringLiteral("総ファイル数＝3"));
    QCOMPARE(form.Label1->text(),
             QStringLiteral("同名ファイル＝0組　　そのファイル数＝0    その合計サイズ＝0 KB"));
    QVERIFY(!form.Button3->isHidden());
    QCOMPARE(form.ScrollBar1->minimum(), 0);
    QCOMPARE(form.ScrollBar1->maximum(), 0);
    QCOMPARE(form.ScrollBar1->value(), 0);

    const QImage page = PageOf(form);
    const int width = QFontMetrics(form.Image1->font()).horizontalAdvance(Q(texts::kNoSameName));
    QVERIFY(std::abs(RowInkRight(page, 0) - (kPageTextLeft + width - 1)) <= 4);
    for (int row = 1; row < kPageRows; ++row) QVERIFY(!RowHasText(page, row));
  }

  // The window keeps repainting while a slow drive is walked, and shows the
  // walk's state meanwhile: labels hidden and blank, Save hidden, busy cursor.
  void scanKeepsTheWindowPainting() {
    std::vector<FixtureFile> files;
    for (int i = 0; i < 40; ++i) files.push_back({"d" + std::to_string(i) + "/f.txt", 0});
    FixtureTree tree(files);
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}, [] { return std::make_unique<SlowSearch>(5); }));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    struct Snapshot {
      bool labels_visible;
      QString label1, label2;
      bool save_hidden;
      Qt::CursorShape form_cursor, button_cursor;
    };
    std::vector<Snapshot> seen;
    QTimer tick;
    tick.setInterval(5);
    connect(&tick, &QTimer::timeout, &form, [&] {
      seen.push_back({form.Label1->isVisible() || form.Label2->isVisible(), form.Label1->text(),
                      form.Label2->text(), form.Button3->isHidden(), form.cursor().shape(),
                      form.Button1->cursor().shape()});
    });
    tick.start();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    tick.stop();

    QVERIFY2(seen.size() >= 3, qPrintable(QString::number(seen.size())));
    const Snapshot& walk = seen.front();
    QVERIFY(!walk.labels_visible);
    QCOMPARE(walk.label1, QStringLiteral(" "));
    QCOMPARE(walk.label2, QStringLiteral(" "));
    QVERIFY(walk.save_hidden);
    QCOMPARE(walk.form_cursor, Qt::WaitCursor);
    QCOMPARE(walk.button_cursor, Qt::WaitCursor);
    QCOMPARE(form.Label2->text(), QStringLiteral("総ファイル数＝40"));
  }

  void longReportScrolls() {
    FixtureTree tree({{"a.txt"}});
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    form.show();
    // 100 drawable lines of distinct widths, then the closing empty line.
    for (int i = 0; i < 100; ++i) state.ReportLines.push_back(std::string(i % 9 + 1, 'M'));
    state.ReportLines.push_back("");
    state.EntryCount = 100;
    form.ScrollBar1->setValue(40);
    form.ShowReport(state);
    QCOMPARE(form.ScrollBar1->value(), 0);
    QCOMPARE(form.ScrollBar1->maximum(), 100);

    const QFont font = form.Image1->font();
    for (int position : {0, 74, 75, 99, 100}) {
      form.ScrollBar1->setValue(position);
      const QImage page = PageOf(form);
      const QString fault = PageRowsFault(page, state, position, font);
      QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("position %1: %2").arg(position).arg(fault)));
    }
    form.ScrollBar1->setValue(74);
    QVERIFY(RowHasText(PageOf(form), 25));
    form.ScrollBar1->setValue(75);
    QVERIFY(!RowHasText(PageOf(form), 25));
    QVERIFY(BlankPageFault((form.ScrollBar1->setValue(100), PageOf(form))).isEmpty());

    // A page step moves five rows.
    form.ScrollBar1->setValue(0);
    form.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(form.ScrollBar1->value(), 5);
    QVERIFY(PageRowsFault(PageOf(form), state, 5, font).isEmpty());

    // A shorter report after scrolling far down starts again at its top.
    form.ScrollBar1->setValue(40);
    state.EntryCount = 10;
    state.ReportLines.set(10, "");
    form.ShowReport(state);
    QCOMPARE(form.ScrollBar1->value(), 0);
    QCOMPARE(form.ScrollBar1->maximum(), 10);
    const QString fault = PageRowsFault(PageOf(form), state, 0, font);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
  }

  void driveChangeHidesSave() {
    FixtureTree first({{"x.txt"}, {"d/x.txt"}});
    FixtureTree second({{"y.txt"}});
    ScanState state;
    TForm1 form(Options(state, {first.Root(), second.Root()}));
    // The chooser's start-up change, raised when the window is shown, hides it.
    form.SetSaveButtonVisible(true);
    form.show();
    QVERIFY(form.Button3->isHidden());

    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.Button3->isHidden());
    const QImage page = PageOf(form);
    const QString summary = form.Label1->text();

    form.DriveComboBox1->setCurrentIndex(0);  // the same drive again: nothing happens
    QVERIFY(!form.Button3->isHidden());
    QCOMPARE(state.DriveLetter, first.Root());

    form.DriveComboBox1->setCurrentIndex(1);
    QVERIFY(form.Button3->isHidden());
    QCOMPARE(state.DriveLetter, second.Root());
    // The results of the last scan stay on show.
    QCOMPARE(state.DrivePrefix, first.Root());
    QCOMPARE(form.Label1->text(), summary);
    QCOMPARE(PageOf(form), page);

    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(state.DrivePrefix, second.Root());
    QCOMPARE(form.Label2->text(), QStringLiteral("総ファイル数＝1"));
  }

  void closing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Close button") << "button";
    QTest::newRow("Alt+C") << "alt+c";
    QTest::newRow("close box") << "close box";
  }

  void closing() {
    QFETCH(QString, how);
    FixtureTree tree({{"a.txt"}});
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    if (how == "escape") {
      QTest::keyClick(&form, Qt::Key_Escape);
    } else if (how == "button") {
      QTest::mouseClick(form.Button2, Qt::LeftButton);
    } else if (how == "alt+c") {
      QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    } else {
      QVERIFY(form.close());
    }
    QTRY_VERIFY(!form.isVisible());
  }

  // An exception that leaves a handler becomes the standard error report,
  // and the window goes on working.
  void errorInAHandlerIsReported() {
    FixtureTree tree({{"a.txt"}, {"d/a.txt"}});
    ScanState state;
    int starts = 0;
    TForm1 form(Options(state, {tree.Root()}, [&starts]() -> std::unique_ptr<DirectorySearch> {
      if (starts++ == 0) return std::make_unique<ThrowingSearch>("Drive not ready");
      return MakePosixDirectorySearch();
    }));
    form.show();
    {
      MessageBoxCloser closer;
      QTest::mouseClick(form.Button1, Qt::LeftButton);
      QVERIFY(closer.Seen().seen);
      QCOMPARE(closer.Seen().icon, QMessageBox::Critical);
      QCOMPARE(closer.Seen().title, QStringLiteral("Main_window_tests"));
      QCOMPARE(closer.Seen().text, QStringLiteral("Drive not ready."));
    }
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form.Button1->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(form.Button3->isHidden());
    form.ScrollBar1->setValue(3);  // the half-made scan is never drawn past its table

    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Label2->text(), QStringLiteral("総ファイル数＝2"));
    QVERIFY(form.Label1->isVisible());
    QVERIFY(!form.Button3->isHidden());
  }

  // A save that cannot write tells why and keeps Save; one that works hides it.
  void saveFailsThenSucceeds() {
    // A plain file stands where the log directory belongs.
    FixtureTree tree({{"a.txt"}, {"d/a.txt"}, {"Vorlex", 3}});
    ScanState state;
    TForm1 form(Options(state, {tree.Root()}));
    form.show();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.Button3->isHidden());
    {
      MessageBoxCloser closer;
      QTest::mouseClick(form.Button3, Qt::LeftButton);
      QVERIFY(closer.Seen().seen);
      QCOMPARE(closer.Seen().icon, QMessageBox::Warning);
      const QStringList lines = closer.Seen().text.split(QLatin1Char('\n'));
      QCOMPARE(lines.size(), 3);
      QCOMPARE(lines[0], Q(texts::kSaveFailed));
      QVERIFY2(lines[1].startsWith(Q(tree.Path("Vorlex/VX"))) && lines[1].endsWith(".log"),
               qPrintable(lines[1]));
      QVERIFY(!lines[2].isEmpty());
    }
    QVERIFY(!form.Button3->isHidden());

    std::filesystem::remove(tree.Path("Vorlex"));
    {
      MessageBoxCloser closer;
      QTest::mouseClick(form.Button3, Qt::LeftButton);
      QVERIFY(!closer.Seen().seen);
    }
    QVERIFY(form.Button3->isHidden());
    int logs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path("Vorlex"))) {
      logs += entry.path().extension() == ".log";
    }
    QCOMPARE(logs, 1);
  }
};

QTEST_MAIN(TForm1Test)
#include "main_window_test.moc"
