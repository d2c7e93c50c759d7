#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/WindowsApi.h"

// Draws text in a font, and each character that font lacks in the first of
// a list of the system's fonts that has it: control pictures, emoji and
// Chinese, Japanese or Korean names. GDI links fonts like this for a few
// fonts only, and never for the panes' fixed-pitch one.
class FontFallback {
 public:
  FontFallback() = default;
  ~FontFallback() { Clear(); }
  FontFallback(const FontFallback&) = delete;
  FontFallback& operator=(const FontFallback&) = delete;

  // The main font, which the caller keeps; the fallbacks are made at its
  // height and weight, and only those the system has.
  void Reset(HFONT font);
  // Draws text with its top left corner at x, y, clipped to clip; the width drawn.
  int Draw(HDC dc, int x, int y, const RECT& clip, std::wstring_view text);
  // The width text takes.
  int Width(HDC dc, std::wstring_view text);
  // The font each character of text is drawn in: 0 the main font, then the
  // fallbacks in their order; for each UTF-16 unit, a surrogate pair's twice.
  std::vector<int> FontsOf(HDC dc, std::wstring_view text);

 private:
  struct Face {
    HFONT font = nullptr;
    std::vector<unsigned char> map;  // its character map ('cmap'), empty where it has none
    std::size_t table = 0;           // where in it Unicode is mapped
    int ascent = 0;
  };
  void Clear();
  bool Has(HDC dc, Face& face, char32_t c) const;
  int FontOf(HDC dc, char32_t c);
  static char32_t CodePoint(std::wstring_view text, std::size_t at);
  static std::size_t UnicodeTable(const std::vector<unsigned char>& map);
  static std::uint32_t GlyphOf(const std::vector<unsigned char>& map, std::size_t table, char32_t c);
  int Run(HDC dc, int x, int baseline, const RECT* clip, std::wstring_view text);

  std::vector<Face> faces_;
  std::unordered_map<char32_t, int> chosen_;
};
