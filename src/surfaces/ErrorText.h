#pragma once

#include <string>
#include <string_view>

// The program's own failure messages, and how the error box shows them.
namespace ErrorText {

inline constexpr const char* kUnableToInsertLine = "Unable to insert a line";
inline constexpr const char* kStreamWriteError = "Stream write error";

std::string ListIndexOutOfBounds(int index);
std::string CannotOpenFile(std::string_view fileName);
std::string CannotCreateFile(std::string_view fileName);
// "No file count can be read from the last line of the current listing".
std::string NoFileCount(std::string_view listingName);
inline constexpr const char* kTemporaryFileCutShort = "A temporary file was cut short";
// A line of a listing file longer than any listing line can be.
std::string LineTooLong(std::string_view fileName, unsigned long long lineNumber);
// The warning for a listing that holds a path more than once.
std::string RepeatedPath(std::string_view listingName, std::string_view path);
std::string CannotUseTemporaryFiles(std::string_view folder);
// bytesNeeded is the work's estimate, 0 where it has none (work still
// growing, such as a listing); past bytesWritten, all that is known is that
// at least those are needed.
std::string NoRoomForTemporaryFiles(std::string_view folder, unsigned long long bytesNeeded,
                                    unsigned long long bytesWritten);

// The message with the reason for it, such as the system's text for an error
// number, on a second line.
std::string WithReason(std::string_view message, std::string_view reason);
std::string WithSystemReason(std::string_view message, int errorNumber);

// The message as the error box shows it: a "." is added when the code of its
// last character is above that of ".".
std::string ForErrorBox(std::string_view message);

}  // namespace ErrorText
