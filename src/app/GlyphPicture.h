#pragma once

#include <cstdint>
#include <vector>

// The program's pictures, drawn in code so that every front end shows the
// same ones: the toolbar and menu glyphs by their index, and the program's
// icon. Each is drawn on a 16 by 16 grid, scaled to the size asked for and
// smoothed by sampling every pixel 16 times.
namespace GlyphPicture {

inline constexpr int kGlyphCount = 20;

// Straight (not premultiplied) 0xAARRGGBB pixels, rows from the top.
struct Picture {
  int size = 0;
  std::vector<std::uint32_t> pixels;
  bool Empty() const;  // nothing drawn: a glyph no action uses
};

Picture Glyph(int index, int size = 16);
Picture Program(int size);

}  // namespace GlyphPicture
