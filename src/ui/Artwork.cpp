#include "ui/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor kDeep(10, 48, 86);
const QColor kSea(18, 110, 150);
const QColor kLight(120, 210, 230);

// Radio waves: arcs around a point, fading outwards.
void DrawWaves(QPainter& p, QPointF centre, qreal first, qreal step, int count, qreal width) {
  for (int i = 0; i < count; ++i) {
    QColor c = kLight;
    c.setAlphaF(0.85 - 0.18 * i);
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
    const qreal r = first + step * i;
    const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    p.drawArc(box, 35 * 16, 110 * 16);
  }
}

}  // namespace

QPixmap DrawBanner(const QSize& size, bool english) {
  QPixmap pixmap(size.expandedTo(QSize(1, 1)));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal w = pixmap.width();
  const qreal h = pixmap.height();

  QLinearGradient sky(0, 0, w, h);
  sky.setColorAt(0, kDeep);
  sky.setColorAt(1, kSea);
  p.fillRect(pixmap.rect(), sky);

  // A faint measurement trace across the banner.
  QPainterPath trace;
  trace.moveTo(0, h * 0.78);
  for (int i = 1; i <= 24; ++i) {
    const qreal x = w * i / 24.0;
    const qreal y = h * (0.78 - 0.12 * ((i * 7) % 5) / 4.0 - (i % 6 == 0 ? 0.18 : 0));
    trace.lineTo(x, y);
  }
  QColor traceColour = kLight;
  traceColour.setAlphaF(0.25);
  p.setPen(QPen(traceColour, qMax<qreal>(1.5, h / 60)));
  p.drawPath(trace);

  // Mast and waves on the right.
  const QPointF top(w - h * 1.1, h * 0.38);
  p.setPen(QPen(QColor(230, 240, 245), qMax<qreal>(2, h / 30), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(top, QPointF(top.x(), h * 0.92));
  p.drawLine(QPointF(top.x() - h * 0.12, h * 0.92), QPointF(top.x() + h * 0.12, h * 0.92));
  p.setBrush(QColor(230, 240, 245));
  p.drawEllipse(top, h * 0.035, h * 0.035);
  DrawWaves(p, top, h * 0.12, h * 0.1, 4, qMax<qreal>(2, h / 35));

  // Name and line of the product.
  QFont title = p.font();
  title.setBold(true);
  title.setPixelSize(qMax(10, int(h * 0.34)));
  p.setPen(Qt::white);
  p.setFont(title);
  const qreal left = h * 0.3;
  p.drawText(QRectF(left, h * 0.12, w - left, h * 0.45), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("TR5906"));
  QFont line = title;
  line.setBold(false);
  line.setPixelSize(qMax(8, int(h * 0.13)));
  p.setFont(line);
  p.setPen(QColor(200, 230, 240));
  p.drawText(QRectF(left, h * 0.58, w - left, h * 0.25), Qt::AlignLeft | Qt::AlignVCenter,
             english ? QStringLiteral("Wireless data-acquisition terminal · LoRa · RS-485")
                     : QStringLiteral("无线数据采集终端 · LoRa · RS-485"));
  return pixmap;
}

QPixmap DrawTerminalPicture(const QSize& size) {
  QPixmap pixmap(size.expandedTo(QSize(1, 1)));
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal w = pixmap.width();
  const qreal h = pixmap.height();
  const qreal u = qMin(w, h) / 10.0;

  // Housing.
  const QRectF body(w / 2 - 3.2 * u, h / 2 - 0.6 * u, 6.4 * u, 4.2 * u);
  QLinearGradient shell(body.topLeft(), body.bottomLeft());
  shell.setColorAt(0, QColor(236, 240, 243));
  shell.setColorAt(1, QColor(190, 200, 208));
  p.setPen(QPen(QColor(90, 105, 120), u * 0.12));
  p.setBrush(shell);
  p.drawRoundedRect(body, u * 0.5, u * 0.5);

  // Antenna and waves.
  const QPointF foot(body.right() - 1.2 * u, body.top());
  const QPointF tip(foot.x(), foot.y() - 2.2 * u);
  p.setPen(QPen(QColor(60, 70, 80), u * 0.3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(foot, tip);
  DrawWaves(p, tip, u * 0.7, u * 0.6, 3, u * 0.18);

  // Status lamps and the terminal block.
  const QColor lamps[] = {QColor(60, 190, 90), QColor(240, 170, 40), QColor(60, 150, 230)};
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    p.setBrush(lamps[i]);
    p.drawEllipse(QPointF(body.left() + (0.9 + 0.8 * i) * u, body.top() + 0.9 * u), u * 0.22,
                  u * 0.22);
  }
  p.setBrush(QColor(40, 120, 70));
  const QRectF block(body.left() + 0.5 * u, body.bottom() - 1.5 * u, body.width() - u, u);
  p.drawRoundedRect(block, u * 0.15, u * 0.15);
  p.setBrush(QColor(200, 205, 210));
  for (int i = 0; i < 8; ++i) {
    const qreal x = block.left() + block.width() * (i + 0.5) / 8;
    p.drawEllipse(QPointF(x, block.center().y()), u * 0.2, u * 0.2);
  }
  return pixmap;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int side : {16, 32, 48, 64, 128}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient disc(side * 0.35, side * 0.3, side * 0.8);
    disc.setColorAt(0, kSea);
    disc.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.2, side * 0.2);
    const QPointF centre(side * 0.5, side * 0.62);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, side * 0.07, side * 0.07);
    DrawWaves(p, centre, side * 0.16, side * 0.13, 3, qMax<qreal>(1.2, side / 14.0));
    icon.addPixmap(pixmap);
  }
  return icon;
}
