#include "launcher/launcher_icon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace velrix::launcher {

namespace {
const QColor kBoxColour(0, 60, 110);
const QColor kArrowColour(255, 195, 0);
}  // namespace

QIcon LauncherIcon() {
  QImage image(kSmallIconSize, kSmallIconSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(kBoxColour);
  p.drawRect(1, 8, 14, 7);  // the box
  p.setBrush(kArrowColour);
  p.drawRect(6, 0, 4, 6);  // the arrow's shaft and head, pointing into the box
  p.drawPolygon(QPolygon({QPoint(3, 6), QPoint(12, 6), QPoint(8, 11), QPoint(7, 11)}));
  p.end();
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace velrix::launcher
