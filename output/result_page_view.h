// The result page: a retained picture of up to 26 report lines, drawn when a
// report arrives or the scroll position changes, and the widget (Image1) that
// shows it.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <string_view>

#include "app/scan_state.h"

namespace vorlex {

inline constexpr int kPageWidth = 721;
inline constexpr int kPageHeight = 337;
inline constexpr int kPageRows = 26;
// Row r of the page has its text's top-left corner at (10, 12 * r + 10).
inline constexpr int kPageTextLeft = 10;
inline constexpr int kPageTextTop = 10;
inline constexpr int kPageRowPitch = 12;

// Erases the whole page to white inside a black frame one pixel wide.
void ClearPage(QImage& page);

// Draws one line of text in black with its top-left corner at (x, y). The
// text is UTF-8 bytes as the file system gave them: a sequence that is not
// valid UTF-8 shows as replacement characters. What lies beyond the page is
// cut off; an empty text draws nothing.
void DrawPageText(QImage& page, const QFont& font, std::string_view text, int x, int y);

// Clears the page and draws report slots first, first + 1, ... in rows 0 to
// 25. Only slots below EntryCount are drawn (so the closing empty line of the
// report and the no-group line never are), and never a slot the table does
// not hold.
void DrawResultPage(QImage& page, const QFont& font, const ScanState& state,
                    std::int64_t first);

// Image1: shows the page picture, 721 x 337, and repaints from it. The
// picture keeps what was drawn last until the next drawing.
class ResultPageView : public QWidget {
 public:
  explicit ResultPageView(QWidget* parent = nullptr);

  const QImage& Page() const { return page_; }

  // The operations above on this view's picture, in the view's font.
  void ClearPage();
  void DrawText(std::string_view text, int x, int y);
  void DrawResultPage(const ScanState& state, std::int64_t first);

  QSize sizeHint() const override { return page_.size(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage page_;
};

}  // namespace vorlex
