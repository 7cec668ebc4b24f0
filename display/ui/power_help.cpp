#include "display/ui/power_help.h"

namespace velrix {
namespace {

constexpr int kGreen = 0, kRed = 3, kWhite = 5, kBlack = 7;
constexpr int kFont = 1;
constexpr int kHeadingX = 4;
constexpr int kSquareX = 74, kSquareW = 20, kSquareH = 14;
constexpr int kTextX = 105;

struct HelpRow {
  int y;
  int palette;
  const char* text;
};
constexpr HelpRow kRows[] = {
    {4, kGreen, "電圧値正常（約12Ｖ以上）"},
    {20, kRed, "電圧値低下（約12Ｖ未満）"},
    {38, kGreen, "電圧値良好（約13.6Ｖ以上）"},
    {54, kWhite, "電圧値不足（約13.6Ｖ未満）"},
};

}  // namespace

void PaintPowerHelp(QPainter& p, const DisplayTools& t) {
  PrepareGdiPainter(p);
  GdiRectangle(p, 0, 0, kPowerHelpWidth, kPowerHelpHeight, t.palettePen[kWhite],
               t.paletteBrush[kWhite]);
  GdiText(p, t, kFont, kHeadingX, 4, "バッテリー", t.palette[kBlack]);
  GdiText(p, t, kFont, kHeadingX, 38, "ソーラー", t.palette[kBlack]);
  for (const HelpRow& row : kRows) {
    // A black outline keeps the white square visible on the white pop-up.
    GdiRectangle(p, kSquareX, row.y, kSquareX + kSquareW, row.y + kSquareH, t.palettePen[kBlack],
                 t.paletteBrush[row.palette]);
    GdiText(p, t, kFont, kTextX, row.y, row.text, t.palette[kBlack]);
  }
}

CDlg_pow_help::CDlg_pow_help(const DisplayTools& tools, QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), tools_(tools) {
  setFixedSize(kPowerHelpWidth, kPowerHelpHeight);
  setAttribute(Qt::WA_ShowWithoutActivating);
  hide();
}

void CDlg_pow_help::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintPowerHelp(p, tools_);
}

}  // namespace velrix
