#include "gui/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <utility>

namespace Glyphs {

namespace {

void Page(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 3, r.top());
  path.lineTo(r.right(), r.top() + 3);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawPath(path);
}

void Arrowhead(QPainter& p, QPointF tip, QPointF left, QPointF right, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({tip, left, right}));
}

// A magnifying glass: its lens centred at centre, its handle down to the right.
void Lens(QPainter& p, QPointF centre, double radius, double handle, double weight) {
  p.setPen(QPen(Qt::black, weight * 5 / 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(radius * 0.8, radius * 0.8), centre + QPointF(radius + handle, radius + handle));
  p.setPen(QPen(Qt::black, weight));
  p.setBrush(QColor(180, 220, 255));
  p.drawEllipse(centre, radius, radius);
}

void Draw(QPainter& p, int index) {
  const QColor red(200, 0, 0), blue(0, 60, 180), yellow(240, 200, 40), brown(150, 100, 40);
  switch (index) {
    case 0:  // scissors
      p.setPen(QPen(Qt::black, 1.2));
      p.drawLine(QPointF(4, 1), QPointF(10, 11));
      p.drawLine(QPointF(12, 1), QPointF(6, 11));
      p.setPen(QPen(blue, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
      p.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
      break;
    case 1:  // two overlapping pages
      Page(p, QRectF(1.5, 1.5, 8, 10));
      Page(p, QRectF(6.5, 4.5, 8, 10));
      break;
    case 2:  // a clipboard with a page
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(brown);
      p.drawRect(QRectF(1.5, 2.5, 10, 12));
      p.setBrush(Qt::gray);
      p.drawRect(QRectF(4.5, 1.5, 4, 2));
      Page(p, QRectF(7.5, 6.5, 7, 8));
      break;
    case 6:  // a blank page
      Page(p, QRectF(3.5, 1.5, 9, 13));
      break;
    case 7: {  // an open folder
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(yellow.darker(120));
      p.drawRect(QRectF(1.5, 3.5, 11, 10));
      p.setBrush(yellow);
      p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15, 7.5), QPointF(12.5, 13.5), QPointF(1.5, 13.5)}));
      break;
    }
    case 8:  // a diskette
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(blue);
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(Qt::lightGray);
      p.drawRect(QRectF(4.5, 9.5, 7, 5));
      break;
    case 14:  // a folder under a magnifying glass
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(yellow);
      p.drawRect(QRectF(0.5, 4.5, 10, 8));
      Lens(p, QPointF(10, 9.5), 3.5, 2, 1.2);
      break;
    case 12:  // a magnifying glass
      Lens(p, QPointF(6.5, 6.5), 4.5, 3.5, 1.5);
      break;
    case 13: {  // a red stop sign
      QPolygonF sign;
      for (const auto& [x, y] : {std::pair{5.5, 1.5}, {10.5, 1.5}, {14.5, 5.5}, {14.5, 10.5}, {10.5, 14.5},
                                 {5.5, 14.5}, {1.5, 10.5}, {1.5, 5.5}})
        sign << QPointF(x, y);
      p.setPen(QPen(red.darker(140), 1));
      p.setBrush(red);
      p.drawPolygon(sign);
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4, 6.5, 8, 3));
      break;
    }
    case 15: {  // a page swept by a beam of light
      Page(p, QRectF(5.5, 2.5, 9, 12));
      QColor beam = yellow;
      beam.setAlpha(170);
      p.setPen(Qt::NoPen);
      p.setBrush(beam);
      p.drawPolygon(QPolygonF({QPointF(0, 1), QPointF(15, 6), QPointF(15, 10), QPointF(0, 3)}));
      break;
    }
    case 16:  // a page with a red arrow pointing down into a tray
      Page(p, QRectF(1.5, 0.5, 8, 9));
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(Qt::lightGray);
      p.drawRect(QRectF(1.5, 12.5, 13, 3));
      p.setPen(QPen(red, 2));
      p.drawLine(QPointF(11.5, 1), QPointF(11.5, 8));
      Arrowhead(p, QPointF(11.5, 12), QPointF(8.5, 8), QPointF(14.5, 8), red);
      break;
    case 17: {  // a red circular arrow
      p.setPen(QPen(red, 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
      Arrowhead(p, QPointF(11, 2.5), QPointF(7, -0.5), QPointF(7, 5.5), red);
      break;
    }
    case 18:  // a blue book
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(blue);
      p.drawRect(QRectF(3.5, 1.5, 10, 13));
      p.setBrush(blue.darker(150));
      p.drawRect(QRectF(2.5, 1.5, 2, 13));
      p.setPen(QPen(Qt::white, 1));
      p.drawLine(QPointF(6.5, 5.5), QPointF(11.5, 5.5));
      break;
    case 19:  // a globe
      p.setPen(QPen(blue.darker(130), 1));
      p.setBrush(QColor(120, 190, 255));
      p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(8, 8), 3, 6.5);
      p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
      p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
      break;
    default:  // glyphs no action uses
      break;
  }
}

}  // namespace

QIcon Glyph(int index) {
  if (index < 0 || index >= kGlyphCount) return {};
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  Draw(painter, index);
  painter.end();
  return QIcon(pixmap);
}

QPixmap ProgramPicture(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 16.0, size / 16.0);
  // A listing page with lines, and the magnifying glass that compares it.
  Page(painter, QRectF(1.5, 0.5, 10, 14));
  painter.setPen(QPen(QColor(0, 60, 180), 0.8));
  for (double y = 3.5; y < 13; y += 2) painter.drawLine(QPointF(3, y), QPointF(10, y));
  painter.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(12, 12), QPointF(15, 15));
  painter.setPen(QPen(Qt::black, 1.2));
  QColor glass(180, 220, 255);
  glass.setAlpha(200);
  painter.setBrush(glass);
  painter.drawEllipse(QPointF(10, 10), 3.2, 3.2);
  painter.end();
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(ProgramPicture(size));
  return icon;
}

}  // namespace Glyphs
