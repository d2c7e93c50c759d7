#pragma once

#include "app/GlyphPicture.h"
#include "platform/WindowsApi.h"

#include <commctrl.h>

// The program's pictures as the Windows controls take them.
namespace WinGlyphs {

// A 32-bit bitmap with premultiplied alpha, as menus and image lists want it.
HBITMAP Bitmap(const GlyphPicture::Picture& picture);
// The twenty glyphs in their order, each size by size pixels.
HIMAGELIST ImageList(int size);
HICON ProgramIcon(int size);

}  // namespace WinGlyphs
