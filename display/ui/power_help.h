#pragma once
// The power-status help pop-up shown while the mouse is over the battery and
// solar squares: what each square colour means.

#include <QPainter>
#include <QWidget>

#include "display/ui/display_tools.h"

namespace velrix {

inline constexpr int kPowerHelpWidth = 260;
inline constexpr int kPowerHelpHeight = 72;

// Paints the pop-up's contents with its top-left at 0, 0.
void PaintPowerHelp(QPainter& p, const DisplayTools& t);

// The captionless pop-up window itself, created hidden; the view moves, shows
// and hides it.
class CDlg_pow_help : public QWidget {
 public:
  explicit CDlg_pow_help(const DisplayTools& tools, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const DisplayTools& tools_;
};

}  // namespace velrix
