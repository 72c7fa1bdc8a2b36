// Helpers of the window tests: fixture trees in a temporary directory, pixel
// reading of the page, a closer for message boxes, and directory searches
// that fail or dawdle on purpose.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "output/result_page_view.h"
#include "walk/directory_search.h"
#include "walk/posix_directory_search.h"

namespace vorlex::window_test {

struct FixtureFile {
  std::string path;  // relative, "/"-separated, UTF-8 bytes
  std::size_t size = 0;
};

// A tree of files in a fresh temporary directory, removed with the object.
class FixtureTree {
 public:
  explicit FixtureTree(const std::vector<FixtureFile>& files) {
    if (!dir_.isValid()) throw std::runtime_error("no temporary directory");
    for (const FixtureFile& file : files) Add(file);
  }

  void Add(const FixtureFile& file) const {
    const std::filesystem::path path = std::filesystem::path(Root()) / file.path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << std::string(file.size, 'x');
  }

  // The root's path without a trailing "/", as the drive chooser lists it.
  std::string Root() const { return dir_.path().toStdString(); }
  std::string Path(std::string_view relative) const { return Root() + "/" + std::string(relative); }

 private:
  QTemporaryDir dir_;
};

// Pixels dark enough to be text or frame. IPAPGothic is antialiased, so a
// glyph's edge pixels are grey; its strokes are darker than this.
inline bool IsDark(QRgb pixel) { return qGray(pixel) < 128; }

inline int DarkPixels(const QImage& image, const QRect& area) {
  int count = 0;
  const QRect inside = area.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) count += IsDark(image.pixel(x, y));
  }
  return count;
}

// The band of page row r that only its own text reaches: a descender of the
// row above ends on this row's first pixel line, so the band starts below it.
inline QRect RowBand(int row) {
  return QRect(1, kPageTextTop + kPageRowPitch * row + 1, kPageWidth - 2, kPageRowPitch - 2);
}

inline bool RowHasText(const QImage& page, int row) { return DarkPixels(page, RowBand(row)) > 0; }

// The rightmost dark column of row r, or -1 when the row is blank.
inline int RowInkRight(const QImage& page, int row) {
  const QRect band = RowBand(row);
  for (int x = band.right(); x >= band.left(); --x) {
    if (DarkPixels(page, QRect(x, band.top(), 1, band.height())) > 0) return x;
  }
  return -1;
}

// "" when `page` is white inside a black frame on its outermost pixels and
// holds nothing else; otherwise where it first differs.
inline QString BlankPageFault(const QImage& page) {
  if (page.size() != QSize(kPageWidth, kPageHeight)) return QStringLiteral("page size differs");
  for (int y = 0; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) {
      const bool frame = x == 0 || y == 0 || x == page.width() - 1 || y == page.height() - 1;
      const QRgb want = frame ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      if ((page.pixel(x, y) & 0xFFFFFF) != (want & 0xFFFFFF)) {
        return QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(page.pixel(x, y), 0, 16);
      }
    }
  }
  return QString();
}

// What a message box showed before the closer closed it.
struct SeenMessageBox {
  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Closes the next modal message box as soon as it appears and records it.
class MessageBoxCloser : public QObject {
 public:
  MessageBoxCloser() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen_ = {true, box->windowTitle(), box->text(), box->icon()};
      timer_.stop();
      box->accept();
    });
    timer_.start();
  }
  const SeenMessageBox& Seen() const { return seen_; }

 private:
  QTimer timer_;
  SeenMessageBox seen_;
};

// The POSIX search, failing with `message` at its first directory.
class ThrowingSearch : public DirectorySearch {
 public:
  explicit ThrowingSearch(std::string message) : message_(std::move(message)) {}
  int FindFirst(int, std::string_view, SearchRecord&) override {
    throw std::runtime_error(message_);
  }
  int FindNext(SearchRecord&) override { return 1; }
  void FindClose() override {}

 private:
  std::string message_;
};

// The POSIX search, taking its time over every directory, like a slow disk.
class SlowSearch : public DirectorySearch {
 public:
  explicit SlowSearch(int delay_ms) : inner_(MakePosixDirectorySearch()), delay_ms_(delay_ms) {}
  int FindFirst(int depth, std::string_view name, SearchRecord& rec) override {
    QThread::msleep(static_cast<unsigned long>(delay_ms_));
    return inner_->FindFirst(depth, name, rec);
  }
  int FindNext(SearchRecord& rec) override { return inner_->FindNext(rec); }
  void FindClose() override { inner_->FindClose(); }

 private:
  std::unique_ptr<DirectorySearch> inner_;
  int delay_ms_;
};

}  // namespace vorlex::window_test
