#include "gui/DisplayText.h"

#include <algorithm>

#include "surfaces/TextForDisplay.h"

namespace {
QString FromUtf16(const std::u16string& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
}  // namespace

QString DisplayText::Of(std::string_view bytes) {
  // Plain ASCII, the common case, needs no decoding.
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return FromUtf16(TextForDisplay::Of(bytes));
}

QString DisplayText::FromWindows1252(std::string_view bytes) { return FromUtf16(TextForDisplay::FromWindows1252(bytes)); }
