#include "win/FontFallback.h"

#include <algorithm>
#include <cstdint>

namespace {

// Installed with Windows first, then free fonts that other systems install
// (and wine, which finds its fonts among the system's).
constexpr const wchar_t* kFallbacks[] = {L"Segoe UI Symbol", L"Segoe UI Emoji", L"MS Gothic", L"Microsoft YaHei",
                                         L"Malgun Gothic",   L"SimSun-ExtB",    L"DejaVu Sans Mono", L"Symbola",
                                         L"WenQuanYi Micro Hei Mono"};
constexpr DWORD kCmapTag = 'c' | 'm' << 8 | 'a' << 16 | 'p' << 24;

std::uint32_t Big(const std::vector<unsigned char>& data, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | (at + i < data.size() ? data[at + i] : 0u);
  return value;
}

}  // namespace

// The Unicode subtable of a font's character map, of format 12 (all of
// Unicode) or else 4 (16 bits): its offset, or 0 where it has neither.
std::size_t FontFallback::UnicodeTable(const std::vector<unsigned char>& map) {
  std::size_t best = 0;
  for (std::uint32_t i = 0, count = Big(map, 2, 2); i < count; ++i) {
    const std::size_t record = 4 + 8 * static_cast<std::size_t>(i);
    const std::uint32_t platform = Big(map, record, 2), encoding = Big(map, record + 2, 2), offset = Big(map, record + 4, 4);
    const std::uint32_t format = Big(map, offset, 2);
    const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
    if (unicode && (format == 12 || (format == 4 && (best == 0 || Big(map, best, 2) != 12)))) best = offset;
  }
  return best;
}

// The glyph of c in the subtable, 0 where it has none.
std::uint32_t FontFallback::GlyphOf(const std::vector<unsigned char>& map, std::size_t best, char32_t c) {
  const std::uint32_t bestFormat = best == 0 ? 0 : Big(map, best, 2);
  if (bestFormat == 12) {
    for (std::uint32_t i = 0, groups = Big(map, best + 12, 4); i < groups; ++i) {
      const std::size_t group = best + 16 + 12 * static_cast<std::size_t>(i);
      const std::uint32_t first = Big(map, group, 4), last = Big(map, group + 4, 4);
      if (c >= first && c <= last) return Big(map, group + 8, 4) + (c - first);
    }
    return 0;
  }
  if (bestFormat != 4 || c > 0xFFFF) return 0;
  const std::size_t segments = Big(map, best + 6, 2) / 2;
  const std::size_t ends = best + 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                    ranges = deltas + 2 * segments;
  for (std::size_t i = 0; i < segments; ++i) {
    if (c > Big(map, ends + 2 * i, 2)) continue;
    const std::uint32_t start = Big(map, starts + 2 * i, 2), range = Big(map, ranges + 2 * i, 2);
    if (c < start) return 0;
    if (range == 0) return (c + Big(map, deltas + 2 * i, 2)) & 0xFFFF;
    const std::uint32_t glyph = Big(map, ranges + 2 * i + range + 2 * (c - start), 2);
    return glyph == 0 ? 0 : (glyph + Big(map, deltas + 2 * i, 2)) & 0xFFFF;
  }
  return 0;
}

namespace {

bool HighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool LowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void FontFallback::Clear() {
  for (std::size_t i = 1; i < faces_.size(); ++i) DeleteObject(faces_[i].font);
  faces_.clear();
  chosen_.clear();
}

void FontFallback::Reset(HFONT font) {
  Clear();
  LOGFONTW like{};
  GetObjectW(font, sizeof like, &like);
  HDC dc = CreateCompatibleDC(nullptr);
  const auto add = [&](HFONT made) {
    Face face;
    face.font = made;
    HGDIOBJ old = SelectObject(dc, made);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    face.ascent = metrics.tmAscent;
    const DWORD size = GetFontData(dc, kCmapTag, 0, nullptr, 0);
    if (size != GDI_ERROR && size > 0) {
      face.map.resize(size);
      GetFontData(dc, kCmapTag, 0, face.map.data(), size);
      face.table = UnicodeTable(face.map);
    }
    if (face.table == 0) face.map.clear();
    SelectObject(dc, old);
    faces_.push_back(std::move(face));
  };
  add(font);
  for (const wchar_t* name : kFallbacks) {
    LOGFONTW wanted = like;
    wanted.lfCharSet = DEFAULT_CHARSET;
    wanted.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynW(wanted.lfFaceName, name, LF_FACESIZE);
    HFONT made = CreateFontIndirectW(&wanted);
    // A font the system lacks comes back as a stand-in of another name: not that.
    wchar_t got[LF_FACESIZE] = L"";
    HGDIOBJ old = SelectObject(dc, made);
    GetTextFaceW(dc, LF_FACESIZE, got);
    SelectObject(dc, old);
    if (lstrcmpiW(got, name) == 0) {
      add(made);
    } else {
      DeleteObject(made);
    }
  }
  DeleteDC(dc);
}

bool FontFallback::Has(HDC dc, Face& face, char32_t c) const {
  if (!face.map.empty()) return GlyphOf(face.map, face.table, c) != 0;
  // A font without a character map, such as a bitmap font: as GDI maps it.
  if (c > 0xFFFF) return false;
  const wchar_t unit = static_cast<wchar_t>(c);
  WORD glyph = 0xFFFF;
  HGDIOBJ old = SelectObject(dc, face.font);
  GetGlyphIndicesW(dc, &unit, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  return glyph != 0xFFFF;
}

int FontFallback::FontOf(HDC dc, char32_t c) {
  if (c < 0x80 || faces_.size() < 2) return 0;  // every font has ASCII
  if (const auto known = chosen_.find(c); known != chosen_.end()) return known->second;
  int chosen = 0;  // no font has it: the main font's box
  for (std::size_t i = 0; i < faces_.size(); ++i) {
    if (Has(dc, faces_[i], c)) {
      chosen = static_cast<int>(i);
      break;
    }
  }
  chosen_.emplace(c, chosen);
  return chosen;
}

char32_t FontFallback::CodePoint(std::wstring_view text, std::size_t at) {
  if (HighSurrogate(text[at]) && at + 1 < text.size() && LowSurrogate(text[at + 1]))
    return 0x10000 + ((text[at] - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  return text[at];
}

std::vector<int> FontFallback::FontsOf(HDC dc, std::wstring_view text) {
  std::vector<int> fonts(text.size(), 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = CodePoint(text, i);
    fonts[i] = FontOf(dc, c);
    if (c > 0xFFFF) {
      fonts[i + 1] = fonts[i];
      ++i;
    }
  }
  return fonts;
}

int FontFallback::Run(HDC dc, int x, int baseline, const RECT* clip, std::wstring_view text) {
  if (faces_.empty()) return 0;
  const std::vector<int> fonts = FontsOf(dc, text);
  const UINT align = SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  HGDIOBJ old = GetCurrentObject(dc, OBJ_FONT);
  int width = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = start + 1;
    while (end < text.size() && fonts[end] == fonts[start]) ++end;
    const Face& face = faces_[static_cast<std::size_t>(fonts[start])];
    SelectObject(dc, face.font);
    SIZE size{};
    if (fonts[start] == 0 || face.map.empty()) {
      const int count = static_cast<int>(end - start);
      GetTextExtentPoint32W(dc, text.data() + start, count, &size);
      if (clip != nullptr)
        ExtTextOutW(dc, x + width, baseline, ETO_CLIPPED, clip, text.data() + start, static_cast<UINT>(count), nullptr);
    } else {
      // By the glyphs of the font's own map: GDI maps no character beyond
      // 16 bits to a glyph by itself everywhere.
      std::vector<WORD> glyphs;
      for (std::size_t i = start; i < end; i += CodePoint(text, i) > 0xFFFF ? 2 : 1)
        glyphs.push_back(static_cast<WORD>(GlyphOf(face.map, face.table, CodePoint(text, i))));
      const int count = static_cast<int>(glyphs.size());
      GetTextExtentPointI(dc, glyphs.data(), count, &size);
      if (clip != nullptr)
        ExtTextOutW(dc, x + width, baseline, ETO_CLIPPED | ETO_GLYPH_INDEX, clip, reinterpret_cast<LPCWSTR>(glyphs.data()),
                    static_cast<UINT>(count), nullptr);
    }
    width += size.cx;
    start = end;
  }
  SelectObject(dc, old);
  SetTextAlign(dc, align);
  return width;
}

int FontFallback::Draw(HDC dc, int x, int y, const RECT& clip, std::wstring_view text) {
  return Run(dc, x, y + (faces_.empty() ? 0 : faces_[0].ascent), &clip, text);
}

int FontFallback::Width(HDC dc, std::wstring_view text) { return Run(dc, 0, 0, nullptr, text); }
