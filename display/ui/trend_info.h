#pragma once
// The trend cursor's windows: the read-out pop-up beside the cursor and the
// one-pixel cursor line over the plot. Both are captionless pop-ups of one
// class that paints white, so the line shows white; the view places and
// hides them.

#include <QWidget>
#include <functional>
#include <vector>

#include "display/cursor_readout.h"
#include "display/ui/display_tools.h"

namespace velrix {

// Paints the read-out's rows on white, with the top-left at 0, 0; the white
// covers the window of the given size too.
void PaintTrendInfo(QPainter& p, const DisplayTools& t, const std::vector<PopupRow>& rows,
                    QSize window = {});

class CDlg_trend_info : public QWidget {
 public:
  explicit CDlg_trend_info(const DisplayTools& tools, QWidget* parent = nullptr);

  void SetRows(std::vector<PopupRow> rows);
  const std::vector<PopupRow>& Rows() const { return rows_; }

  // A key pressed in the pop-up goes on to the view as a first press.
  std::function<void(int key)> onKey;
  // The mouse came onto the pop-up (at a height not seen there before).
  std::function<void()> onMouseInside;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const DisplayTools& tools_;
  std::vector<PopupRow> rows_;
  int lastMouseY_ = -1;
};

}  // namespace velrix
