#include "app/logo.h"

#include <QFont>
#include <QPainter>

namespace velrix {

const QImage& VelrixLogo() {
  static const QImage logo = [] {
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    image.fill(QColor(0, 60, 110));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(255, 195, 0));
    p.drawRect(1, 1, kLogoWidth - 3, kLogoHeight - 3);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(17);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kLogoWidth, kLogoHeight), Qt::AlignCenter, QStringLiteral("Velrix"));
    return image;
  }();
  return logo;
}

}  // namespace velrix
