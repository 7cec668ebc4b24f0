#pragma once
// The main panel: the two top boxes with the clock, the elapsed time and the
// six values, the warning box, and the status strip (run and stop marks,
// power indicators, retry box, link line), drawn at the view's fixed client
// coordinates. The caller holds the draw lock.

#include <QColor>
#include <QPainter>
#include <QPushButton>

#include "display/panel_text.h"
#include "display/ui/display_tools.h"

namespace velrix {

// A point the panel painted and the colour it left there; reading it back
// later tells whether another window covers the view.
struct ProbePoint {
  int x = 0;
  int y = 0;
  QRgb colour = 0;
};

enum class RunMark { None, Run, Stop };

// What DrawPanel leaves for its caller.
struct PanelResult {
  ProbePoint leftProbe;
  ProbePoint rightProbe;
  RunMark mark = RunMark::None;     // which run button carries a mark now
  bool linkFailedShown = false;     // the NG line was drawn: the caller sets
                                    // powerCommandState to 0 (a pending power
                                    // command cannot reach a lost unit)
};

// The filled box with a three-dimensional edge of the top boxes and fields.
void DrawSunkenBox(QPainter& p, const DisplayTools& t, int left, int top, int width, int height,
                   const QColor& fill);

// The marks, in view coordinates translated by (dx, dy); a run button that
// paints itself passes minus its own position.
void DrawRunMark(QPainter& p, const DisplayTools& t, int dx = 0, int dy = 0);
void DrawStopMark(QPainter& p, const DisplayTools& t, int dx = 0, int dy = 0);

// Draws the whole panel in its fixed order.
PanelResult DrawPanel(QPainter& p, const DisplayTools& t, const PanelInputs& in);

// A run button that paints the run or stop mark over its face, so the mark
// survives the button's own repaints. The shell gives both run buttons this
// class and sets the mark DrawPanel reports (RunMark::Run on the start button
// while measuring, RunMark::Stop on the stop button otherwise).
class MarkedRunButton : public QPushButton {
 public:
  MarkedRunButton(const QString& caption, const DisplayTools& tools, QWidget* parent = nullptr);
  void SetMark(RunMark mark);
  RunMark Mark() const { return mark_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const DisplayTools& tools_;
  RunMark mark_ = RunMark::None;
};

}  // namespace velrix
