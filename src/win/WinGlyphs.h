#pragma once

#include "app/GlyphPicture.h"
#include "platform/WindowsApi.h"

#include <commctrl.h>

// The program's pictures as the Windows controls take them.
namespace WinGlyphs {

// A 32-bit bitmap with premultiplied alpha, as image lists and AlphaBlend
// want it; greyed, as a command that cannot be chosen shows it.
HBITMAP Bitmap(const GlyphPicture::Picture& picture, bool greyed = false);
// The twenty glyphs in their order, each size by size pixels, greyed or not.
HIMAGELIST ImageList(int size, bool greyed = false);
HICON ProgramIcon(int size);
// Draws a bitmap of Bitmap() centred in a rectangle, over what is there.
void Draw(HDC dc, const RECT& room, HBITMAP bitmap);

}  // namespace WinGlyphs
