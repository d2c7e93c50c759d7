#pragma once

#include <QIcon>
#include <QPixmap>

#include "app/GlyphPicture.h"

// The program's pictures, drawn in code: the toolbar and menu glyphs by their
// index, and the program's icon.
namespace Glyphs {
constexpr int kGlyphCount = GlyphPicture::kGlyphCount;
QIcon Glyph(int index);
QPixmap ProgramPicture(int size);
QIcon ProgramIcon();
}  // namespace Glyphs
