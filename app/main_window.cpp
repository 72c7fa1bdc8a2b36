#include "app/main_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

#include "app/start_action.h"
#include "app/texts.h"
#include "output/log_writer.h"
#include "output/result_page_view.h"
#include "platform/clock.h"
#include "platform/volumes.h"
#include "walk/posix_directory_search.h"

// The icons are compiled into this static library; their initializer must be
// called by name, from the global namespace, or the linker drops them.
static void InitWindowResources() { Q_INIT_RESOURCE(vorlex); }

namespace vorlex {

TForm1* Form1 = nullptr;

namespace {

// Window geometry at 96 dpi: the outer frame at (3, 44), 784 x 516, which
// leaves a client area of 776 x 482 inside a 4-pixel border and the title.
constexpr QPoint kWindowPosition(3, 44);
constexpr QSize kClientSize(776, 482);

// The standard error report's text for an exception that carries no message.
constexpr std::string_view kUnknownError = "Unknown error";

// How long a scan may keep the window from repainting.
constexpr qint64 kPaintIntervalMs = 40;

QString FromBytes(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

QPushButton* MakeButton(QWidget* parent, std::string_view caption, const QRect& geometry) {
  auto* button = new QPushButton(FromBytes(caption), parent);
  button->setGeometry(geometry);
  // Enter presses the focused button, as Space does.
  button->setAutoDefault(true);
  return button;
}

}  // namespace

void InstallWindowFont() {
  static const bool installed = [] {
    const QStringList fallback{QStringLiteral("IPAPGothic")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), fallback);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), fallback);
    return true;
  }();
  (void)installed;
}

QString ApplicationTitleOf(const QString& program_path) {
  QString name = program_path.mid(program_path.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = name.indexOf(QLatin1Char('.'));
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  return name.left(1).toUpper() + name.mid(1).toLower();
}

QString ApplicationTitle() {
  return ApplicationTitleOf(QCoreApplication::applicationFilePath());
}

void ShowStandardErrorReport(QWidget* parent, std::string_view message) {
  QMessageBox::critical(parent, ApplicationTitle(), FromBytes(message) + QLatin1Char('.'));
}

TForm1::TForm1(TForm1Options options, QWidget* owner)
    : QWidget(owner),
      state_(options.state != nullptr ? options.state : &TheScanState()),
      make_search_(std::move(options.make_search)) {
  Form1 = this;
  InstallWindowFont();
  InitWindowResources();
  CreateComponents();
  const std::string start_drive =
      options.start_drive ? *options.start_drive : VolumeOf(".");
  FillDriveChooser(options.drives ? std::move(*options.drives) : MountedVolumes(),
                   start_drive);

  Button3->hide();
  Label1->setText(QString());
  Label2->setText(QString());
  TakeStartTime(*state_, LocalNow());
  state_->DriveLetter = start_drive;
  Image1->ClearPage();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateComponents() {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  setFont(font);
  // The window takes the colour of the desktop as the platform's palette
  // gives it; the labels are transparent on it and the text is black.
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  setWindowTitle(FromBytes(texts::kWindowTitle));
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/vorlex16.xpm"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/vorlex32.xpm"), QSize(32, 32));
  setWindowIcon(icon);
  move(kWindowPosition);
  resize(kClientSize);

  Image1 = new ResultPageView(this);
  Image1->setGeometry(40, 120, kPageWidth, kPageHeight);
  Label1 = new QLabel(this);
  Label1->move(256, 64);
  Label2 = new QLabel(this);
  Label2->move(40, 64);
  Button1 = MakeButton(this, texts::kStartButton, QRect(376, 16, 65, 33));
  DriveComboBox1 = new QComboBox(this);
  DriveComboBox1->setGeometry(208, 16, 137, 18);
  QPalette chooser = DriveComboBox1->palette();
  chooser.setColor(QPalette::Base, chooser.color(QPalette::Button));
  DriveComboBox1->setPalette(chooser);
  Button2 = MakeButton(this, texts::kCloseButton, QRect(16, 16, 65, 33));
  Button3 = MakeButton(this, texts::kSaveButton, QRect(112, 16, 65, 33));
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(16, 88, 745, 16);
  ProgressBar1->setRange(0, 1000);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ScrollBar1 = new QScrollBar(Qt::Vertical, this);
  ScrollBar1->setGeometry(16, 120, 17, 209);
  ScrollBar1->setRange(0, 100);
  ScrollBar1->setSingleStep(1);
  ScrollBar1->setPageStep(5);
  ScrollBar1->setValue(0);
  ScrollBar1->setFocusPolicy(Qt::StrongFocus);

  setTabOrder(Button1, DriveComboBox1);
  setTabOrder(DriveComboBox1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, ProgressBar1);
  setTabOrder(ProgressBar1, ScrollBar1);
  Button1->setFocus();

  connect(Button1, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::Button1Click); });
  connect(DriveComboBox1, &QComboBox::currentIndexChanged, this, [this] {
    // Until the window is shown the chooser is only being filled; showing
    // the window raises the first change.
    if (shown_once_) RunHandler(&TForm1::DriveComboBox1Change);
  });
  connect(Button2, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::Button2Click); });
  connect(Button3, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::Button3Click); });
  connect(ScrollBar1, &QScrollBar::valueChanged, this,
          [this] { RunHandler(&TForm1::ScrollBar1Change); });
  // Button2 is the cancel button: Escape presses it.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, Button2, &QPushButton::click);
}

void TForm1::FillDriveChooser(std::vector<std::string> drives, const std::string& start_drive) {
  if (!start_drive.empty() && std::find(drives.begin(), drives.end(), start_drive) == drives.end()) {
    // The current directory lies on a volume the list leaves out (a tmpfs or
    // an overlay root): offer it anyway, since that is where the user is.
    drives.push_back(start_drive);
  }
  int start_index = -1;
  for (const std::string& drive : drives) {
    if (drive == start_drive) start_index = DriveComboBox1->count();
    // The item's data keeps the mount point's exact bytes; its text only
    // shows them.
    DriveComboBox1->addItem(FromBytes(drive), QByteArray(drive.data(), ClampToInt(drive.size())));
  }
  DriveComboBox1->setCurrentIndex(start_index);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  RunHandler(&TForm1::DriveComboBox1Change);
}

void TForm1::RunHandler(void (TForm1::*handler)()) {
  // An exception must not unwind through Qt's event loop: it ends here, at
  // the boundary of the handler that let it out.
  try {
    (this->*handler)();
  } catch (const std::exception& error) {
    ShowStandardErrorReport(this, error.what());
  } catch (...) {
    ShowStandardErrorReport(this, kUnknownError);
  }
}

void TForm1::Button1Click() {
  // While a scan lets the window repaint, a timer could still press Start.
  if (scanning_) return;
  setCursor(Qt::WaitCursor);
  Button1->setCursor(Qt::WaitCursor);
  scanning_ = true;
  bool finished = false;
  const auto restore = qScopeGuard([this, &finished] {
    scanning_ = false;
    // A Start that failed midway has no whole report to save.
    if (!finished) Button3->hide();
    unsetCursor();
    Button1->unsetCursor();
  });
  paint_clock_.invalidate();
  std::unique_ptr<DirectorySearch> search =
      make_search_ ? make_search_() : MakePosixDirectorySearch();
  RunStartAction(*state_, *search, *this);
  finished = true;
}

void TForm1::DriveComboBox1Change() {
  const int index = DriveComboBox1->currentIndex();
  const QByteArray drive = index < 0 ? QByteArray() : DriveComboBox1->itemData(index).toByteArray();
  state_->DriveLetter.assign(drive.constData(), static_cast<std::size_t>(drive.size()));
  Button3->hide();
}

void TForm1::Button2Click() { close(); }

void TForm1::Button3Click() {
  if (scanning_) return;
  const SaveOutcome outcome = SaveLog(*state_);
  if (outcome.saved) {
    Button3->hide();
    return;
  }
  // The button stays, so the user can try again once the cause is fixed.
  QMessageBox::warning(this, ApplicationTitle(),
                       FromBytes(texts::kSaveFailed) + QLatin1Char('\n') +
                           FromBytes(outcome.path) + QLatin1Char('\n') +
                           FromBytes(outcome.reason));
}

void TForm1::ScrollBar1Change() {
  // During a scan the report is half made; only ShowReport's own reset of
  // the scroll bar may draw.
  if (scanning_ && !showing_report_) return;
  Image1->DrawResultPage(*state_, ScrollBar1->value());
}

void TForm1::HideLabels() {
  Label1->setText(QStringLiteral(" "));
  Label1->adjustSize();
  Label2->setText(QStringLiteral(" "));
  Label2->adjustSize();
  Label1->hide();
  Label2->hide();
}

void TForm1::ShowLabels() {
  Label1->show();
  Label2->show();
}

void TForm1::SetFileTotalCaption(std::string_view caption) {
  Label2->setText(FromBytes(caption));
  Label2->adjustSize();
}

void TForm1::SetSummaryCaption(std::string_view caption) {
  Label1->setText(FromBytes(caption));
  Label1->adjustSize();
}

void TForm1::SetProgressMaximum(std::int64_t maximum) {
  maximum = std::max<std::int64_t>(maximum, 0);
  progress_divisor_ = maximum / INT_MAX + 1;
  // A range of 0..0 would make Qt show a busy animation; 0..1 at 0 shows
  // the same empty bar as a maximum of 0.
  ProgressBar1->setRange(0, std::max(1, ClampToInt(maximum / progress_divisor_)));
}

void TForm1::SetProgressPosition(std::int64_t position) {
  const int value = ClampToInt(position / progress_divisor_);
  ProgressBar1->setValue(std::clamp(value, ProgressBar1->minimum(), ProgressBar1->maximum()));
  KeepPainting();
}

void TForm1::SetSaveButtonVisible(bool visible) { Button3->setVisible(visible); }

void TForm1::WalkProgress(std::int64_t /*files*/, std::int64_t /*directories*/) {
  KeepPainting();
}

void TForm1::ShowReport(const ScanState& state) {
  showing_report_ = true;
  const auto done = qScopeGuard([this] { showing_report_ = false; });
  // Position first, so lowering the maximum never moves it; a change of
  // Position draws the new report's first page through ScrollBar1Change.
  ScrollBar1->setValue(0);
  ScrollBar1->setMinimum(0);
  ScrollBar1->setMaximum(ClampToInt(state.EntryCount));
  Image1->DrawResultPage(state, 0);
  // With no group the report is the one line in slot 0, which the page
  // leaves out (it draws slots below EntryCount only).
  if (state.EntryCount == 0 && !state.ReportLines.empty()) {
    Image1->DrawText(state.ReportLines[0], kPageTextLeft, kPageTextTop);
  }
}

void TForm1::KeepPainting() {
  if (paint_clock_.isValid() && paint_clock_.elapsed() < kPaintIntervalMs) return;
  // Paint, timers and window-system events other than input: a click or a
  // key given now (the close box too) waits until the scan is over.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  paint_clock_.restart();
}

}  // namespace vorlex
