#include "win/WinGlyphs.h"

#include <cstring>

namespace WinGlyphs {

HBITMAP Bitmap(const GlyphPicture::Picture& picture, bool greyed) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.size;
  info.bmiHeader.biHeight = -picture.size;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::uint32_t pixel : picture.pixels) {
    std::uint32_t alpha = pixel >> 24;
    if (greyed) {
      // Its brightness, lighter, at half strength.
      const std::uint32_t grey =
          (((pixel >> 16 & 0xFFu) * 299 + (pixel >> 8 & 0xFFu) * 587 + (pixel & 0xFFu) * 114) / 1000 + 255) / 2;
      pixel = grey << 16 | grey << 8 | grey;
      alpha /= 2;
    }
    const auto premultiplied = [&](int shift) { return ((pixel >> shift & 0xFFu) * alpha + 127) / 255 << shift; };
    *out++ = alpha << 24 | premultiplied(16) | premultiplied(8) | premultiplied(0);
  }
  return bitmap;
}

HIMAGELIST ImageList(int size, bool greyed) {
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, GlyphPicture::kGlyphCount, 0);
  for (int index = 0; index < GlyphPicture::kGlyphCount; ++index) {
    HBITMAP bitmap = Bitmap(GlyphPicture::Glyph(index, size), greyed);
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  return list;
}

HICON ProgramIcon(int size) {
  const GlyphPicture::Picture picture = GlyphPicture::Program(size);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = Bitmap(picture);
  info.hbmMask = CreateBitmap(size, size, 1, 1, nullptr);  // the colour bitmap's alpha decides
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return icon;
}

void Draw(HDC dc, const RECT& room, HBITMAP bitmap) {
  BITMAP size{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  GdiAlphaBlend(dc, (room.left + room.right - size.bmWidth) / 2, (room.top + room.bottom - size.bmHeight) / 2,
                size.bmWidth, size.bmHeight, source, 0, 0, size.bmWidth, size.bmHeight, blend);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace WinGlyphs
