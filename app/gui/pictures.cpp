#include "app/gui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kDeep(16, 78, 92);
const QColor kSea(28, 128, 140);
const QColor kLeaf(120, 196, 150);

// One sheet of a text file: a white page with a folded corner and a few lines.
void DrawSheet(QPainter& p, const QRectF& r, const QColor& ink) {
  const qreal fold = r.width() * 0.28;
  QPainterPath sheet;
  sheet.moveTo(r.topLeft());
  sheet.lineTo(r.right() - fold, r.top());
  sheet.lineTo(r.right(), r.top() + fold);
  sheet.lineTo(r.bottomRight());
  sheet.lineTo(r.bottomLeft());
  sheet.closeSubpath();
  p.setPen(QPen(ink.darker(130), 1));
  p.setBrush(Qt::white);
  p.drawPath(sheet);
  QPainterPath corner;
  corner.moveTo(r.right() - fold, r.top());
  corner.lineTo(r.right() - fold, r.top() + fold);
  corner.lineTo(r.right(), r.top() + fold);
  corner.closeSubpath();
  p.setBrush(QColor(220, 232, 234));
  p.drawPath(corner);
  p.setPen(QPen(ink, qMax<qreal>(1.0, r.height() / 28.0)));
  const qreal margin = r.width() * 0.16;
  for (int i = 0; i < 5; ++i) {
    qreal y = r.top() + fold + (i + 1) * (r.height() - fold - margin) / 6.0;
    qreal right = r.right() - margin - (i % 2) * r.width() * 0.18;
    p.drawLine(QPointF(r.left() + margin, y), QPointF(right, y));
  }
}

// An arrow from `from` to `to`, drawn as a curve with a head.
void DrawFlow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width) {
  QPainterPath path(from);
  QPointF mid((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
  path.quadTo(QPointF(from.x(), mid.y()), to);
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  QPainterPath head;
  head.moveTo(to + QPointF(0, width * 1.8));
  head.lineTo(to + QPointF(-width * 1.6, -width * 0.8));
  head.lineTo(to + QPointF(width * 1.6, -width * 0.8));
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(head);
}

// A pixmap of `width` x `height` device-independent pixels, sharp at `dpr`.
QPixmap Canvas(int width, int height, qreal dpr) {
  QPixmap pixmap(qRound(width * dpr), qRound(height * dpr));
  pixmap.setDevicePixelRatio(dpr);
  return pixmap;
}

}  // namespace

QPixmap WelcomePicture(int width, int height, qreal dpr) {
  QPixmap pixmap = Canvas(width, height, dpr);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, kSea);
  sky.setColorAt(1, kDeep);
  p.fillRect(QRectF(0, 0, width, height), sky);

  // Three establishment files at the top...
  const qreal w = width * 0.24, h = w * 1.3;
  const qreal top = height * 0.10;
  const qreal xs[3] = {width * 0.10, width * 0.38, width * 0.66};
  for (int i = 0; i < 3; ++i) DrawSheet(p, QRectF(xs[i], top + (i == 1 ? 0 : h * 0.12), w, h), kSea);
  // ...flow into one file below.
  const qreal bigW = width * 0.44, bigH = bigW * 1.3;
  const QRectF big((width - bigW) / 2, height * 0.47, bigW, bigH);
  for (int i = 0; i < 3; ++i) {
    QPointF from(xs[i] + w / 2, top + h * 1.2);
    QPointF to(big.center().x() + (i - 1) * bigW * 0.22, big.top() - width * 0.05);
    DrawFlow(p, from, to, kLeaf, qMax<qreal>(2.0, width / 60.0));
  }
  DrawSheet(p, big, kDeep);
  p.setPen(Qt::NoPen);
  p.setBrush(kLeaf);
  p.drawEllipse(QPointF(big.right() - bigW * 0.12, big.bottom() - bigW * 0.12), bigW * 0.16, bigW * 0.16);
  p.setPen(QPen(Qt::white, qMax<qreal>(2.0, width / 55.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPointF c(big.right() - bigW * 0.12, big.bottom() - bigW * 0.12);
  const qreal s = bigW * 0.08;
  p.drawPolyline(QPolygonF({c + QPointF(-s, 0), c + QPointF(-s * 0.3, s * 0.7), c + QPointF(s, -s * 0.7)}));

  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(qMax(12, width / 7));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, height * 0.84, width, height * 0.1), Qt::AlignCenter, QStringLiteral("Quelvar"));
  font.setBold(false);
  font.setPixelSize(qMax(9, width / 15));
  p.setFont(font);
  p.setPen(QColor(210, 235, 235));
  p.drawText(QRectF(0, height * 0.91, width, height * 0.07), Qt::AlignCenter, QStringLiteral("Pis/Cofins"));
  return pixmap;
}

QPixmap HeaderPicture(int side, qreal dpr) {
  QPixmap pixmap = Canvas(side, side, dpr);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeep);
  p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.18, side * 0.18);
  // Two small files at the top corners flow into one larger file below.
  const qreal w = side * 0.24, h = w * 1.3;
  DrawSheet(p, QRectF(side * 0.10, side * 0.08, w, h), kSea);
  DrawSheet(p, QRectF(side * 0.66, side * 0.08, w, h), kSea);
  const QRectF merged(side * 0.34, side * 0.46, side * 0.32, side * 0.32 * 1.3);
  const qreal flow = qMax<qreal>(1.2, side / 30.0);
  DrawFlow(p, QPointF(side * 0.22, side * 0.08 + h + flow), QPointF(merged.left() + flow, merged.top() + side * 0.06),
           kLeaf, flow);
  DrawFlow(p, QPointF(side * 0.78, side * 0.08 + h + flow), QPointF(merged.right() - flow, merged.top() + side * 0.06),
           kLeaf, flow);
  DrawSheet(p, merged, kDeep);
  return pixmap;
}
