#include "output/result_page_view.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace vorlex {
namespace {

// Draws `text` with its top-left corner at (x, y): the baseline lies one
// ascent below the top. The painter clips at the page's edges.
void DrawLine(QPainter& painter, std::string_view text, int x, int y) {
  if (text.empty()) return;
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), shown);
}

void PreparePainter(QPainter& painter, const QFont& font) {
  painter.setFont(font);
  painter.setPen(Qt::black);
}

}  // namespace

void ClearPage(QImage& page) {
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  // A one-pixel pen outlines the rectangle from (0, 0) to (w - 1, h - 1):
  // exactly the outermost pixels.
  painter.drawRect(0, 0, page.width() - 1, page.height() - 1);
}

void DrawPageText(QImage& page, const QFont& font, std::string_view text, int x, int y) {
  QPainter painter(&page);
  PreparePainter(painter, font);
  DrawLine(painter, text, x, y);
}

void DrawResultPage(QImage& page, const QFont& font, const ScanState& state,
                    std::int64_t first) {
  ClearPage(page);
  // The report ends before EntryCount; after a failed scan EntryCount may
  // exceed what the table holds, so the table's size bounds it as well.
  const std::int64_t end = std::min<std::int64_t>(
      state.EntryCount, static_cast<std::int64_t>(state.ReportLines.size()));
  QPainter painter(&page);
  PreparePainter(painter, font);
  for (int row = 0; row < kPageRows; ++row) {
    const std::int64_t slot = first + row;
    if (slot < 0 || slot >= end) continue;
    DrawLine(painter, state.ReportLines[static_cast<std::size_t>(slot)], kPageTextLeft,
             kPageTextTop + kPageRowPitch * row);
  }
}

ResultPageView::ResultPageView(QWidget* parent)
    : QWidget(parent), page_(kPageWidth, kPageHeight, QImage::Format_RGB32) {
  page_.fill(Qt::white);
}

void ResultPageView::ClearPage() {
  vorlex::ClearPage(page_);
  update();
}

void ResultPageView::DrawText(std::string_view text, int x, int y) {
  DrawPageText(page_, font(), text, x, y);
  update();
}

void ResultPageView::DrawResultPage(const ScanState& state, std::int64_t first) {
  vorlex::DrawResultPage(page_, font(), state, first);
  update();
}

void ResultPageView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // Beyond the picture (should the widget ever be larger) the window shows.
  painter.drawImage(event->rect().topLeft(), page_, event->rect());
}

}  // namespace vorlex
