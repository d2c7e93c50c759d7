#include "app/GlyphPicture.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <optional>

namespace GlyphPicture {

namespace {

struct Colour {
  double r, g, b, a = 1.0;  // 0 to 1
};
constexpr Colour Rgb(int r, int g, int b, int a = 255) { return {r / 255.0, g / 255.0, b / 255.0, a / 255.0}; }
constexpr Colour kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255), kGray = Rgb(160, 160, 164),
                 kLightGray = Rgb(192, 192, 192);
constexpr Colour kRed = Rgb(200, 0, 0), kDarkRed = Rgb(143, 0, 0), kBlue = Rgb(0, 60, 180),
                 kDarkBlue = Rgb(0, 40, 120), kGlobeBlue = Rgb(0, 46, 138), kYellow = Rgb(240, 200, 40),
                 kDarkYellow = Rgb(200, 167, 33), kBrown = Rgb(150, 100, 40), kSky = Rgb(180, 220, 255);

struct Point {
  double x, y;
};

double SegmentDistance(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

bool InsidePolygon(Point p, const std::vector<Point>& polygon) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point a = polygon[i], b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// A painter in the manner of the usual 2-D ones: a pen strokes outlines and
// lines, a brush fills shapes, later shapes cover earlier ones.
class Canvas {
 public:
  explicit Canvas(int size)
      : size_(size), scale_(size / 16.0), samples_(static_cast<std::size_t>(size * size * kSamples), Colour{0, 0, 0, 0}) {}

  void Pen(Colour colour, double width, bool roundCap = false) { pen_ = colour, penWidth_ = width, roundCap_ = roundCap; }
  void NoPen() { pen_.reset(); }
  void Brush(Colour colour) { brush_ = colour; }
  void NoBrush() { brush_.reset(); }

  void Polygon(std::vector<Point> points) {
    Paint([&](Point p) { return brush_ && InsidePolygon(p, points); },
          [&](Point p) {
            double nearest = 1e9;
            for (std::size_t i = 0; i < points.size(); ++i)
              nearest = std::min(nearest, SegmentDistance(p, points[i], points[(i + 1) % points.size()]));
            return nearest;
          });
  }
  void Rect(double x, double y, double w, double h) { Polygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}); }
  void Line(Point a, Point b) {
    if (!roundCap_) {
      // A square cap reaches half the pen's width past each end.
      const double length = std::hypot(b.x - a.x, b.y - a.y), reach = penWidth_ / 2 / length;
      const Point d{(b.x - a.x) * reach, (b.y - a.y) * reach};
      a = {a.x - d.x, a.y - d.y}, b = {b.x + d.x, b.y + d.y};
    }
    Paint([](Point) { return false; },
          [&](Point p) {
            if (!roundCap_) {
              // Flat ends: only what lies beside the segment counts.
              const double dx = b.x - a.x, dy = b.y - a.y;
              const double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
              if (t < 0 || t > 1) return 1e9;
            }
            return SegmentDistance(p, a, b);
          });
  }
  void Ellipse(Point c, double rx, double ry) {
    Paint([&](Point p) { return brush_ && Normalised(p, c, rx, ry) <= 1; },
          [&](Point p) { return EllipseDistance(p, c, rx, ry); });
  }
  // Angles in degrees, counterclockwise from three o'clock as seen.
  void Arc(Point c, double r, double startDegrees, double spanDegrees) {
    Paint([](Point) { return false; },
          [&](Point p) {
            double angle = std::atan2(-(p.y - c.y), p.x - c.x) * 180 / std::numbers::pi - startDegrees;
            while (angle < 0) angle += 360;
            if (angle > spanDegrees) return 1e9;
            return std::abs(std::hypot(p.x - c.x, p.y - c.y) - r);
          });
  }

  Picture Finish() const {
    Picture picture;
    picture.size = size_;
    picture.pixels.reserve(static_cast<std::size_t>(size_ * size_));
    for (int pixel = 0; pixel < size_ * size_; ++pixel) {
      // Premultiplied sums, then back to straight colour.
      double r = 0, g = 0, b = 0, a = 0;
      for (int s = 0; s < kSamples; ++s) {
        const Colour& c = samples_[static_cast<std::size_t>(pixel * kSamples + s)];
        r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
      }
      const auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
      const std::uint32_t alpha = byte(a / kSamples);
      picture.pixels.push_back(a == 0 ? 0u : alpha << 24 | byte(r / a) << 16 | byte(g / a) << 8 | byte(b / a));
    }
    return picture;
  }

 private:
  static constexpr int kGrid = 4;  // samples a side of a pixel
  static constexpr int kSamples = kGrid * kGrid;

  static double Normalised(Point p, Point c, double rx, double ry) {
    const double x = (p.x - c.x) / rx, y = (p.y - c.y) / ry;
    return x * x + y * y;
  }
  // The distance to the outline, to first order.
  static double EllipseDistance(Point p, Point c, double rx, double ry) {
    const double x = p.x - c.x, y = p.y - c.y;
    const double gradient = 2 * std::hypot(x / (rx * rx), y / (ry * ry));
    return gradient == 0 ? std::min(rx, ry) : std::abs(Normalised(p, c, rx, ry) - 1) / gradient;
  }

  template <typename Fill, typename Distance>
  void Paint(Fill inside, Distance distance) {
    for (int py = 0; py < size_; ++py) {
      for (int px = 0; px < size_; ++px) {
        for (int s = 0; s < kSamples; ++s) {
          const Point p{(px + (s % kGrid + 0.5) / kGrid) / scale_, (py + (s / kGrid + 0.5) / kGrid) / scale_};
          Colour& sample = samples_[static_cast<std::size_t>((py * size_ + px) * kSamples + s)];
          if (inside(p)) Over(sample, *brush_);
          if (pen_ && distance(p) <= penWidth_ / 2) Over(sample, *pen_);
        }
      }
    }
  }
  static void Over(Colour& under, const Colour& top) {
    const double a = top.a + under.a * (1 - top.a);
    if (a == 0) return;
    const auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    under = {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
  }

  int size_;
  double scale_;
  std::vector<Colour> samples_;
  std::optional<Colour> pen_;
  double penWidth_ = 1;
  bool roundCap_ = false;
  std::optional<Colour> brush_;
};

void Page(Canvas& c, double x, double y, double w, double h) {
  c.Pen(kBlack, 1);
  c.Brush(kWhite);
  c.Polygon({{x, y}, {x + w - 3, y}, {x + w, y + 3}, {x + w, y + h}, {x, y + h}});
}

void Arrowhead(Canvas& c, Point tip, Point left, Point right, Colour colour) {
  c.NoPen();
  c.Brush(colour);
  c.Polygon({tip, left, right});
}

// A magnifying glass: its lens centred at centre, its handle down to the right.
void Lens(Canvas& c, Point centre, double radius, double handle, double weight) {
  c.Pen(kBlack, weight * 5 / 3, true);
  c.Line({centre.x + radius * 0.8, centre.y + radius * 0.8}, {centre.x + radius + handle, centre.y + radius + handle});
  c.Pen(kBlack, weight);
  c.Brush(kSky);
  c.Ellipse(centre, radius, radius);
}

void Draw(Canvas& c, int index) {
  switch (index) {
    case 0:  // scissors
      c.Pen(kBlack, 1.2);
      c.Line({4, 1}, {10, 11});
      c.Line({12, 1}, {6, 11});
      c.Pen(kBlue, 1.5);
      c.NoBrush();
      c.Ellipse({4.5, 12.5}, 2.5, 2.5);
      c.Ellipse({11.5, 12.5}, 2.5, 2.5);
      break;
    case 1:  // two overlapping pages
      Page(c, 1.5, 1.5, 8, 10);
      Page(c, 6.5, 4.5, 8, 10);
      break;
    case 2:  // a clipboard with a page
      c.Pen(kBlack, 1);
      c.Brush(kBrown);
      c.Rect(1.5, 2.5, 10, 12);
      c.Brush(kGray);
      c.Rect(4.5, 1.5, 4, 2);
      Page(c, 7.5, 6.5, 7, 8);
      break;
    case 6:  // a blank page
      Page(c, 3.5, 1.5, 9, 13);
      break;
    case 7:  // an open folder
      c.Pen(kBlack, 1);
      c.Brush(kDarkYellow);
      c.Rect(1.5, 3.5, 11, 10);
      c.Brush(kYellow);
      c.Polygon({{3.5, 7.5}, {15, 7.5}, {12.5, 13.5}, {1.5, 13.5}});
      break;
    case 8:  // a diskette
      c.Pen(kBlack, 1);
      c.Brush(kBlue);
      c.Rect(1.5, 1.5, 13, 13);
      c.Brush(kWhite);
      c.Rect(4.5, 1.5, 7, 5);
      c.Brush(kLightGray);
      c.Rect(4.5, 9.5, 7, 5);
      break;
    case 12:  // a magnifying glass
      Lens(c, {6.5, 6.5}, 4.5, 3.5, 1.5);
      break;
    case 14:  // a folder under a magnifying glass
      c.Pen(kBlack, 1);
      c.Brush(kYellow);
      c.Rect(0.5, 4.5, 10, 8);
      Lens(c, {10, 9.5}, 3.5, 2, 1.2);
      break;
    case 13:  // a red stop sign
      c.Pen(kDarkRed, 1);
      c.Brush(kRed);
      c.Polygon({{5.5, 1.5}, {10.5, 1.5}, {14.5, 5.5}, {14.5, 10.5}, {10.5, 14.5}, {5.5, 14.5}, {1.5, 10.5}, {1.5, 5.5}});
      c.NoPen();
      c.Brush(kWhite);
      c.Rect(4, 6.5, 8, 3);
      break;
    case 15: {  // a page swept by a beam of light
      Page(c, 5.5, 2.5, 9, 12);
      Colour beam = kYellow;
      beam.a = 170 / 255.0;
      c.NoPen();
      c.Brush(beam);
      c.Polygon({{0, 1}, {15, 6}, {15, 10}, {0, 3}});
      break;
    }
    case 16:  // a page with a red arrow pointing down into a tray
      Page(c, 1.5, 0.5, 8, 9);
      c.Pen(kBlack, 1);
      c.Brush(kLightGray);
      c.Rect(1.5, 12.5, 13, 3);
      c.Pen(kRed, 2);
      c.Line({11.5, 1}, {11.5, 8});
      Arrowhead(c, {11.5, 12}, {8.5, 8}, {14.5, 8}, kRed);
      break;
    case 17:  // a red circular arrow
      c.Pen(kRed, 2);
      c.NoBrush();
      c.Arc({8, 8}, 5.5, 90, 270);
      Arrowhead(c, {11, 2.5}, {7, -0.5}, {7, 5.5}, kRed);
      break;
    case 18:  // a blue book
      c.Pen(kBlack, 1);
      c.Brush(kBlue);
      c.Rect(3.5, 1.5, 10, 13);
      c.Brush(kDarkBlue);
      c.Rect(2.5, 1.5, 2, 13);
      c.Pen(kWhite, 1);
      c.Line({6.5, 5.5}, {11.5, 5.5});
      break;
    case 19:  // a globe
      c.Pen(kGlobeBlue, 1);
      c.Brush(Rgb(120, 190, 255));
      c.Ellipse({8, 8}, 6.5, 6.5);
      c.NoBrush();
      c.Ellipse({8, 8}, 3, 6.5);
      c.Line({1.5, 8}, {14.5, 8});
      c.Line({8, 1.5}, {8, 14.5});
      break;
    default:  // glyphs no action uses
      break;
  }
}

}  // namespace

bool Picture::Empty() const {
  return std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t pixel) { return pixel == 0; });
}

Picture Glyph(int index, int size) {
  Canvas canvas(size);
  if (index >= 0 && index < kGlyphCount) Draw(canvas, index);
  return canvas.Finish();
}

Picture Program(int size) {
  Canvas c(size);
  // A listing page with lines, and the magnifying glass that compares it.
  Page(c, 1.5, 0.5, 10, 14);
  c.Pen(kBlue, 0.8);
  for (double y = 3.5; y < 13; y += 2) c.Line({3, y}, {10, y});
  c.Pen(kBlack, 1.8, true);
  c.Line({12, 12}, {15, 15});
  c.Pen(kBlack, 1.2);
  c.Brush(Rgb(180, 220, 255, 200));
  c.Ellipse({10, 10}, 3.2, 3.2);
  return c.Finish();
}

}  // namespace GlyphPicture
