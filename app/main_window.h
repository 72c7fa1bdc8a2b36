// TForm1: the program's one window. It wires the controls' events to the
// handlers and shows what a scan reports through ScanDisplay; the scan itself
// is the core's (RunStartAction, SaveLog).
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/scan_display.h"
#include "app/scan_state.h"
#include "walk/directory_search.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace vorlex {

class ResultPageView;

// Where the window's scans come from. The program leaves every field at its
// default; tests point the window at fixture trees.
struct TForm1Options {
  // Mount points offered by the drive chooser; MountedVolumes() when unset.
  std::optional<std::vector<std::string>> drives;
  // The drive the chooser starts on; the volume of the current directory when
  // unset. Added to the list when the list lacks it.
  std::optional<std::string> start_drive;
  // The scan state the window works on; TheScanState() when null.
  ScanState* state = nullptr;
  // Makes the directory search of each Start; the POSIX search when empty.
  std::function<std::unique_ptr<DirectorySearch>()> make_search;
};

class TForm1 : public QWidget, public ScanDisplay {
  Q_OBJECT

 public:
  explicit TForm1(TForm1Options options = {}, QWidget* owner = nullptr);
  ~TForm1() override;

  // The components, in the order they are created.
  ResultPageView* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* Button1 = nullptr;
  QComboBox* DriveComboBox1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;

  // Event handlers. The controls reach them through RunHandler, which turns
  // an exception that leaves one into the standard error report.
  void Button1Click();
  void DriveComboBox1Change();
  void Button2Click();
  void Button3Click();
  void ScrollBar1Change();

  ScanState& State() const { return *state_; }

  // ScanDisplay: how a running scan shows itself in the controls.
  void HideLabels() override;
  void ShowLabels() override;
  void SetFileTotalCaption(std::string_view caption) override;
  void SetSummaryCaption(std::string_view caption) override;
  void SetProgressMaximum(std::int64_t maximum) override;
  void SetProgressPosition(std::int64_t position) override;
  void SetSaveButtonVisible(bool visible) override;
  void WalkProgress(std::int64_t files, std::int64_t directories) override;
  void ShowReport(const ScanState& state) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateComponents();
  void FillDriveChooser(std::vector<std::string> drives, const std::string& start_drive);
  // Runs one handler; an exception that leaves it is shown by the standard
  // error report and the window goes on.
  void RunHandler(void (TForm1::*handler)());
  // Lets the window repaint (no user input) when the last chance was a while
  // ago, so a long scan never freezes it.
  void KeepPainting();

  ScanState* state_;
  std::function<std::unique_ptr<DirectorySearch>()> make_search_;
  QElapsedTimer paint_clock_;
  // The progress bar counts in int; larger maxima are divided down.
  std::int64_t progress_divisor_ = 1;
  bool shown_once_ = false;
  bool scanning_ = false;
  bool showing_report_ = false;
};

// The one main window, set as soon as it is created.
extern TForm1* Form1;

// Installs the font of the window before it is built: "ＭＳ Ｐゴシック" where
// present, otherwise the metric-compatible IPAPGothic.
void InstallWindowFont();

// The application's title: the program file's name without its directory,
// cut before its first ".", first letter capital and the rest lower case.
QString ApplicationTitleOf(const QString& program_path);
// The title of the running program.
QString ApplicationTitle();

// The standard error report: a critical message box titled with the
// application's title, its text the message and a full stop.
void ShowStandardErrorReport(QWidget* parent, std::string_view message);

}  // namespace vorlex
