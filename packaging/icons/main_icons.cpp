// velrix-draw-icons: the program's icon for the desktop's menu, drawn from the
// logo the window shows (app/logo.cpp): the dark blue field, the yellow frame
// and the name in bold white, made square. One outline, in a 256-unit square,
// is written as the SVG and filled into every PNG, so all sizes show the same
// picture; below 48 pixels the name shrinks to its initial, which still reads.
//
//   velrix-draw-icons OUTPUT-FOLDER
//
// writes OUTPUT-FOLDER/hicolor/<n>x<n>/apps/velrix.png for the usual sizes and
// OUTPUT-FOLDER/hicolor/scalable/apps/velrix.svg. Needs a Qt platform for the
// font (the build runs it with QT_QPA_PLATFORM=offscreen).

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr int kPngSizes[] = {16, 32, 48, 64, 128, 256};
constexpr int kSmallBelow = 48;  // pixels: smaller icons show the initial only

// The square the icon is drawn in, and the logo's colours.
constexpr double kSquare = 256.0;
const QColor kField(0, 60, 110);
const QColor kFrame(255, 195, 0);
const QColor kName(255, 255, 255);

// One look of the icon, in units of that square: the frame's outer inset and width,
// the name, and the largest width and height the name may take.
struct Look {
  double frameInset;
  double frameWidth;
  const char* name;
  double nameWidth;
  double nameHeight;
};
// The small look's frame lies on whole pixels at 16 and 32 pixels.
constexpr Look kLargeLook{8.0, 8.0, "Velrix", 200.0, 120.0};
constexpr Look kSmallLook{16.0, 16.0, "V", 150.0, 150.0};

constexpr int kOutlineFontPixels = 100;  // only the outline's shape matters
constexpr int kSvgDecimals = 2;

// The name as an outline, centred in the square.
QPainterPath NameOutline(const Look& look) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(kOutlineFontPixels);
  font.setBold(true);
  QPainterPath path;
  path.addText(QPointF(0, 0), font, QString::fromLatin1(look.name));
  const QRectF box = path.boundingRect();
  const double scale = std::min(look.nameWidth / box.width(), look.nameHeight / box.height());
  QTransform t;
  t.translate(kSquare / 2, kSquare / 2);
  t.scale(scale, scale);
  t.translate(-box.center().x(), -box.center().y());
  return t.map(path);
}

// The frame's stroke runs along the middle of its width.
QRectF FrameRect(const Look& look) {
  const double middle = look.frameInset + look.frameWidth / 2;
  return QRectF(middle, middle, kSquare - 2 * middle, kSquare - 2 * middle);
}

QImage DrawPng(int size) {
  const Look& look = size < kSmallBelow ? kSmallLook : kLargeLook;
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(kField);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(size / kSquare, size / kSquare);
  QPen pen(kFrame);
  pen.setWidthF(look.frameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawRect(FrameRect(look));
  p.setPen(Qt::NoPen);
  p.setBrush(kName);
  p.drawPath(NameOutline(look));
  return image;
}

// Numbers in SVG always have a point: QString::number ignores the locale.
QString Num(double v) { return QString::number(v, 'f', kSvgDecimals); }

QString SvgPathData(const QPainterPath& path) {
  QString d;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    switch (e.type) {
      case QPainterPath::MoveToElement: d += QStringLiteral("M") + Num(e.x) + ' ' + Num(e.y); break;
      case QPainterPath::LineToElement: d += QStringLiteral("L") + Num(e.x) + ' ' + Num(e.y); break;
      case QPainterPath::CurveToElement: d += QStringLiteral("C") + Num(e.x) + ' ' + Num(e.y); break;
      case QPainterPath::CurveToDataElement: d += ' ' + Num(e.x) + ' ' + Num(e.y); break;
    }
  }
  return d;
}

QString Rgb(const QColor& c) { return c.name(QColor::HexRgb); }

QString DrawSvg() {
  const Look& look = kLargeLook;
  const QRectF frame = FrameRect(look);
  const QPainterPath name = NameOutline(look);
  const char* rule = name.fillRule() == Qt::WindingFill ? "nonzero" : "evenodd";
  QString svg;
  QTextStream s(&svg);
  s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(kSquare) << "\" height=\""
    << Num(kSquare) << "\" viewBox=\"0 0 " << Num(kSquare) << ' ' << Num(kSquare) << "\">\n"
    << "  <title>Velrix</title>\n"
    << "  <rect width=\"" << Num(kSquare) << "\" height=\"" << Num(kSquare) << "\" fill=\""
    << Rgb(kField) << "\"/>\n"
    << "  <rect x=\"" << Num(frame.x()) << "\" y=\"" << Num(frame.y()) << "\" width=\""
    << Num(frame.width()) << "\" height=\"" << Num(frame.height()) << "\" fill=\"none\" stroke=\""
    << Rgb(kFrame) << "\" stroke-width=\"" << Num(look.frameWidth) << "\"/>\n"
    << "  <path fill=\"" << Rgb(kName) << "\" fill-rule=\"" << rule << "\" d=\""
    << SvgPathData(name) << "\"/>\n"
    << "</svg>\n";
  return svg;
}

bool WriteIcons(const QString& out) {
  bool ok = true;
  for (int size : kPngSizes) {
    const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(size);
    ok = QDir().mkpath(folder) && DrawPng(size).save(folder + "/velrix.png", "PNG") && ok;
  }
  const QString scalable = out + "/hicolor/scalable/apps";
  QFile svg(scalable + "/velrix.svg");
  ok = QDir().mkpath(scalable) && svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
       svg.write(DrawSvg().toUtf8()) >= 0 && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: velrix-draw-icons OUTPUT-FOLDER\n", stderr);
    return kExitUsage;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QGuiApplication app(argc, argv);
  if (!WriteIcons(out)) {
    std::fprintf(stderr, "velrix-draw-icons: cannot write the icons below %s\n", argv[1]);
    return kExitFailed;
  }
  return kExitOk;
}
