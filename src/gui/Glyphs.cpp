#include "gui/Glyphs.h"

#include <QImage>

#include "app/GlyphPicture.h"

namespace Glyphs {

namespace {
QPixmap PixmapOf(const GlyphPicture::Picture& picture) {
  const QImage image(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.size, picture.size,
                     picture.size * 4, QImage::Format_ARGB32);
  return QPixmap::fromImage(image);  // a deep copy: the picture's pixels may go
}
}  // namespace

QIcon Glyph(int index) {
  if (index < 0 || index >= kGlyphCount) return {};
  return QIcon(PixmapOf(GlyphPicture::Glyph(index)));
}

QPixmap ProgramPicture(int size) { return PixmapOf(GlyphPicture::Program(size)); }

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(ProgramPicture(size));
  return icon;
}

}  // namespace Glyphs
