#include "display/ui/panel_painter.h"

#include <QPolygon>

#include "display/value_format.h"

namespace velrix {
namespace {

// Palette indices.
constexpr int kGreen = 0;
constexpr int kYellowOlive = 2;
constexpr int kRed = 3;
constexpr int kWhite = 5;
constexpr int kBlack = 7;
constexpr int kBlue = 9;

// Top boxes.
constexpr int kLeftBoxX = 60, kLeftBoxY = 3, kLeftBoxW = 294, kLeftBoxH = 118;
const QColor kLeftBoxFill(190, 255, 190);
constexpr int kRightBoxX = 369, kRightBoxY = 3, kRightBoxW = 352, kRightBoxH = 118;
const QColor kRightBoxFill(180, 210, 255);
// The probe lies four pixels right of and below a box's corner.
constexpr int kProbeInset = 4;

constexpr int kClockX = 68, kClockY = 9;
const QColor kClockColour(10, 10, 65);
constexpr int kElapsedX = 68, kElapsedY = 31;
const QColor kElapsedColour(60, 60, 0);

struct RowPlace {
  int labelX, labelY, valueX, valueY;
  int fieldX, fieldY;  // value field (rate rows only)
  QColor colour;
};
const RowPlace kRows[kPanelRows] = {
    {68, 53, 140, 53, 0, 0, QColor(0, 0, 0)},
    {68, 75, 140, 75, 0, 0, QColor(0, 55, 55)},
    {68, 97, 140, 97, 0, 0, QColor(0, 65, 65)},
    {383, 19, 467, 19, 459, 13, QColor(0, 0, 90)},
    {383, 54, 467, 54, 459, 48, QColor(80, 0, 80)},
    {371, 89, 467, 89, 459, 83, QColor(0, 0, 0)},
};
constexpr int kFieldW = 252, kFieldH = 30;
constexpr int kIntegratedFont = 2;
constexpr int kRateFont = 3;

// Warning box.
constexpr int kWarnLeft = 736, kWarnTop = 3, kWarnRight = 910, kWarnBottom = 121;
constexpr int kWarnClearRight = 916;
constexpr int kWarnTitleX = 742, kWarnTitleY = 11;
constexpr int kWarnReasonX = 788, kWarnReasonY = 99;

// Status strip.
const QPoint kRunMark[3] = {{415, 626}, {406, 621}, {406, 632}};
constexpr int kStopLeft = 566, kStopTop = 622, kStopRight = 576, kStopBottom = 632;
constexpr int kLinkLeft = 830, kLinkTop = 635, kLinkRight = 1004, kLinkBottom = 706;
constexpr int kLinkOkX = 840, kLinkNgX = 880, kLinkY = 635;
constexpr int kRetryLeft = 640, kRetryTop = 615, kRetryRight = 830, kRetryBottom = 655;
constexpr int kRetryGapLeft = 705, kRetryGapRight = 765;
constexpr int kRetryTitleX = 711, kRetryTitleY = 609;
constexpr int kRetryClearLeft = 645, kRetryClearTop = 624, kRetryClearRight = 825,
              kRetryClearBottom = 650;
constexpr int kRetryTextX = 646, kRetryCountY = 624, kRetryTimeY = 638;
constexpr int kPowerLabelX = 116;
constexpr int kBatteryLabelY = 615, kSolarLabelY = 639;
constexpr int kSquareLeft = 180, kSquareRight = 200;
constexpr int kBatterySquareTop = 613, kBatterySquareBottom = 629;
constexpr int kSolarSquareTop = 637, kSolarSquareBottom = 653;
constexpr int kStatusFont = 1;

ProbePoint Probe(int boxX, int boxY, const QColor& fill) {
  return {boxX + kProbeInset, boxY + kProbeInset, fill.rgb()};
}

void DrawRow(QPainter& p, const DisplayTools& t, const PanelInputs& in, int row, int font) {
  const RowPlace& place = kRows[row];
  GdiText(p, t, font, place.labelX, place.labelY, PanelRowLabel(row), place.colour);
  const bool warned = in.warnings.rowFlags[static_cast<std::size_t>(row)];
  GdiText(p, t, font, place.valueX, place.valueY, PanelRowText(in, row),
          warned ? t.palette[kRed] : place.colour);
}

void DrawPowerSquare(QPainter& p, const DisplayTools& t, int top, int bottom, int palette) {
  const QBrush& fill = palette >= 0 ? t.paletteBrush[palette] : t.backgroundBrush;
  GdiRectangle(p, kSquareLeft, top, kSquareRight, bottom, t.palettePen[kBlack], fill);
}

}  // namespace

void DrawSunkenBox(QPainter& p, const DisplayTools& t, int left, int top, int width, int height,
                   const QColor& fill) {
  const int right = left + width;
  const int bottom = top + height;
  GdiRectangle(p, left, top, right, bottom, t.outlinePen, QBrush(fill));
  GdiLine(p, left + 1, bottom, left + 1, top, t.outerEdgePen);
  GdiLine(p, left + 1, top, right, top, t.outerEdgePen);
  GdiLine(p, left + 1, bottom - 1, left + 1, top + 1, t.innerEdgePen);
  GdiLine(p, left + 1, top + 1, right - 2, top + 1, t.innerEdgePen);
  GdiLine(p, left + 2, bottom - 2, right - 2, bottom - 2, t.shadowPen);
  GdiLine(p, right - 2, top + 1, right - 2, bottom - 1, t.shadowPen);
}

void DrawRunMark(QPainter& p, const DisplayTools& t, int dx, int dy) {
  QPolygon triangle;
  for (const QPoint& pt : kRunMark) triangle << pt + QPoint(dx, dy);
  p.setPen(t.palettePen[kBlack]);
  p.setBrush(t.paletteBrush[kGreen]);
  p.drawPolygon(triangle);
}

void DrawStopMark(QPainter& p, const DisplayTools& t, int dx, int dy) {
  GdiRectangle(p, kStopLeft + dx, kStopTop + dy, kStopRight + dx, kStopBottom + dy,
               t.palettePen[kBlack], t.paletteBrush[kRed]);
}

PanelResult DrawPanel(QPainter& p, const DisplayTools& t, const PanelInputs& in) {
  PrepareGdiPainter(p);
  PanelResult result;
  const Clock& clock = in.clock ? *in.clock : DefaultClock();

  // The warnings were evaluated by the caller into in.warnings.

  // Run and stop marks.
  if (in.measuring == 1) {
    DrawRunMark(p, t);
    result.mark = RunMark::Run;
  } else {
    DrawStopMark(p, t);
    result.mark = RunMark::Stop;
  }

  // Link status line.
  if (in.linkStatus == 1) {
    GdiClear(p, t, kLinkLeft, kLinkTop, kLinkRight, kLinkBottom);
    GdiText(p, t, kStatusFont, kLinkOkX, kLinkY, LinkStatusText(in.linkStatus, in.portName),
            t.palette[kBlue]);
  } else if (LinkStatusIsNg(in.linkStatus)) {
    GdiClear(p, t, kLinkLeft, kLinkTop, kLinkRight, kLinkBottom);
    GdiText(p, t, kStatusFont, kLinkNgX, kLinkY, LinkStatusText(in.linkStatus, in.portName),
            t.palette[kRed]);
    result.linkFailedShown = true;
  }

  // Retry box, its frame open where the title sits.
  GdiClear(p, t, kRetryClearLeft, kRetryClearTop, kRetryClearRight, kRetryClearBottom);
  GdiLine(p, kRetryLeft, kRetryTop, kRetryGapLeft, kRetryTop, t.shadowPen);
  GdiLine(p, kRetryGapRight, kRetryTop, kRetryRight, kRetryTop, t.shadowPen);
  GdiLine(p, kRetryRight, kRetryTop, kRetryRight, kRetryBottom, t.shadowPen);
  GdiLine(p, kRetryRight, kRetryBottom, kRetryLeft, kRetryBottom, t.shadowPen);
  GdiLine(p, kRetryLeft, kRetryBottom, kRetryLeft, kRetryTop, t.shadowPen);
  GdiText(p, t, kStatusFont, kRetryTitleX, kRetryTitleY, kRetryTitleText, t.palette[kBlack]);
  if (in.lastRetryTime != 0) {
    GdiText(p, t, kStatusFont, kRetryTextX, kRetryCountY,
            RetryCountLine(in.maxRetryCount, in.lastRetryTime), t.palette[kBlack]);
    GdiText(p, t, kStatusFont, kRetryTextX, kRetryTimeY, RetryTimeLine(clock, in.lastRetryTime),
            t.palette[kBlack]);
  }

  // Power indicators.
  GdiText(p, t, kStatusFont, kPowerLabelX, kBatteryLabelY, kBatteryText, t.palette[kBlack]);
  DrawPowerSquare(p, t, kBatterySquareTop, kBatterySquareBottom,
                  BatterySquarePalette(in.batteryLow));
  GdiText(p, t, kStatusFont, kPowerLabelX, kSolarLabelY, kSolarText, t.palette[kBlack]);
  DrawPowerSquare(p, t, kSolarSquareTop, kSolarSquareBottom,
                  SolarSquarePalette(in.solarReached));

  // The power checks ran in the caller before this drawing.

  // Left box.
  DrawSunkenBox(p, t, kLeftBoxX, kLeftBoxY, kLeftBoxW, kLeftBoxH, kLeftBoxFill);
  result.leftProbe = Probe(kLeftBoxX, kLeftBoxY, kLeftBoxFill);
  GdiText(p, t, kIntegratedFont, kClockX, kClockY,
          PanelClockLine(clock, in.now, in.stoppedMark, in.stopTime), kClockColour);
  GdiText(p, t, kIntegratedFont, kElapsedX, kElapsedY, PanelElapsedLine(in.elapsedSeconds),
          kElapsedColour);
  for (int row = kRowIntegrated; row <= kRowPredictedYear; ++row)
    DrawRow(p, t, in, row, kIntegratedFont);

  // Right box with the three value fields.
  DrawSunkenBox(p, t, kRightBoxX, kRightBoxY, kRightBoxW, kRightBoxH, kRightBoxFill);
  result.rightProbe = Probe(kRightBoxX, kRightBoxY, kRightBoxFill);
  for (int row = kRowCurrent; row <= kRowHour; ++row) {
    const RowPlace& place = kRows[row];
    GdiText(p, t, kRateFont, place.labelX, place.labelY, PanelRowLabel(row), place.colour);
    DrawSunkenBox(p, t, place.fieldX, place.fieldY, kFieldW, kFieldH, t.palette[kWhite]);
    const bool warned = in.warnings.rowFlags[static_cast<std::size_t>(row)];
    GdiText(p, t, kRateFont, place.valueX, place.valueY, PanelRowText(in, row),
            warned ? t.palette[kRed] : place.colour);
  }

  // Warning box.
  if (!in.warnings.reason.empty()) {
    GdiRectangle(p, kWarnLeft, kWarnTop, kWarnRight, kWarnBottom, t.palettePen[kRed],
                 t.paletteBrush[kYellowOlive]);
    GdiText(p, t, 4, kWarnTitleX, kWarnTitleY, kWarningTitleText, t.palette[kRed]);
    GdiText(p, t, 5, kWarnReasonX, kWarnReasonY, in.warnings.reason, t.palette[kRed]);
  } else {
    GdiClear(p, t, kWarnLeft, kWarnTop, kWarnClearRight, kWarnBottom);
  }
  return result;
}

MarkedRunButton::MarkedRunButton(const QString& caption, const DisplayTools& tools,
                                 QWidget* parent)
    : QPushButton(caption, parent), tools_(tools) {}

void MarkedRunButton::SetMark(RunMark mark) {
  if (mark == mark_) return;
  mark_ = mark;
  update();
}

void MarkedRunButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  if (mark_ == RunMark::None) return;
  QPainter p(this);
  PrepareGdiPainter(p);
  // The marks are placed in view coordinates; this button sits at pos().
  const QPoint at = pos();
  if (mark_ == RunMark::Run)
    DrawRunMark(p, tools_, -at.x(), -at.y());
  else
    DrawStopMark(p, tools_, -at.x(), -at.y());
}

}  // namespace velrix
