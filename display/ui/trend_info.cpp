#include "display/ui/trend_info.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace velrix {
namespace {

constexpr int kWhite = 5;
constexpr int kFont = 1;
// The white ground covers the tallest pop-up, and all of a window of the
// class that is larger: the cursor line is one, 439 pixels high.
constexpr int kGroundWidth = 320, kGroundHeight = 170;

}  // namespace

void PaintTrendInfo(QPainter& p, const DisplayTools& t, const std::vector<PopupRow>& rows,
                    QSize window) {
  PrepareGdiPainter(p);
  GdiRectangle(p, 0, 0, std::max(kGroundWidth, window.width()),
               std::max(kGroundHeight, window.height()), t.palettePen[kWhite],
               t.paletteBrush[kWhite]);
  for (const PopupRow& row : rows) {
    GdiText(p, t, kFont, kPopupTextX, row.y, row.text, t.palette[row.palette]);
  }
}

CDlg_trend_info::CDlg_trend_info(const DisplayTools& tools, QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), tools_(tools) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setMouseTracking(true);
  hide();
}

void CDlg_trend_info::SetRows(std::vector<PopupRow> rows) {
  rows_ = std::move(rows);
  update();
}

void CDlg_trend_info::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintTrendInfo(p, tools_, rows_, size());
}

void CDlg_trend_info::keyPressEvent(QKeyEvent* event) {
  if (onKey) onKey(event->key());
}

void CDlg_trend_info::mouseMoveEvent(QMouseEvent* event) {
  const int y = static_cast<int>(event->position().y());
  if (y == lastMouseY_) return;
  lastMouseY_ = y;
  if (onMouseInside) onMouseInside();
}

}  // namespace velrix
