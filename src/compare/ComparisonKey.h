#pragma once

#include <optional>
#include <string_view>

// How the comparison pairs lines of two listings.
namespace ComparisonKey {

// The full path at the end of a file line, recognised by the line's shape:
// "dd.mm.yyyy hh<sep>nn<sep>ss <10+ digits> Bytes <11 attribute letters> "
// with an optional digest of 32 or 64 hexadecimal digits and a space before
// the path. Nothing when the line does not have that shape.
std::optional<std::string_view> FileLinePath(std::string_view line);

// The key a line is paired by. A file line's key is its full path without a
// drive letter (":\Docs\a.txt" for "C:\Docs\a.txt", the whole path for
// "/home/u/a.txt"), and so is a folder line's that carries metadata; any
// other line's key is its tail from the last ":", and a line without ":" has
// none.
std::optional<std::string_view> KeyOf(std::string_view line);

// Whether a line is compared wherever it stands, past the file lines too: a
// folder line that carries metadata, whose changes the comparison reports
// as a file's.
bool ComparedPastCount(std::string_view line);

// The path a line stands for in a message: a file line's full path, any other
// line whole.
std::string_view ShownPath(std::string_view line);

// The file count of a listing's last line, read as "Number of Files = %d "
// would scan it; nothing when the line does not begin so.
std::optional<long long> ReadFileCount(std::string_view lastLine);

}  // namespace ComparisonKey
