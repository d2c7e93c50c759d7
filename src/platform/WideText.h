#pragma once

#include <string>
#include <string_view>

// Text between the program's UTF-8 and the UTF-16 of the Windows calls.
// Both directions are lossless: a lone surrogate of a file name (which
// Windows allows) is carried in the three-byte form UTF-8 would give it, so
// that a name read from a search opens the same file again.
namespace WideText {

std::u16string ToUtf16(std::string_view text);
std::string ToUtf8(std::u16string_view text);

// The form of a full path that lifts the 260-character limit: "C:\a" becomes
// "\\?\C:\a" and "\\server\share\a" becomes "\\?\UNC\server\share\a". Such a
// path is taken literally, so "/" is turned into "\" first. A relative path,
// or one already in that form, is returned unchanged.
std::string ExtendedLength(std::string_view path);

}  // namespace WideText
