#include "surfaces/ErrorText.h"

#include <cstring>

namespace ErrorText {

std::string ListIndexOutOfBounds(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }

std::string CannotOpenFile(std::string_view fileName) { return "Cannot open file " + std::string(fileName); }

std::string CannotCreateFile(std::string_view fileName) { return "Cannot create file " + std::string(fileName); }

std::string NoFileCount(std::string_view listingName) {
  return "No file count can be read from the last line of the " + std::string(listingName);
}

std::string LineTooLong(std::string_view fileName, unsigned long long lineNumber) {
  return "Line " + std::to_string(lineNumber) + " of " + std::string(fileName) +
         " is longer than any line of a listing can be";
}

std::string RepeatedPath(std::string_view listingName, std::string_view path) {
  return "The " + std::string(listingName) + " holds " + std::string(path) +
         " more than once, which no listing of a folder does; such lines are paired in their order, and those "
         "left over are Added or Deleted";
}

std::string CannotUseTemporaryFiles(std::string_view folder) {
  return "Cannot use temporary files in " + std::string(folder);
}

std::string NoRoomForTemporaryFiles(std::string_view folder, unsigned long long bytesNeeded,
                                    unsigned long long bytesWritten) {
  const std::string text = "Not enough room for temporary files in " + std::string(folder);
  if (bytesNeeded > bytesWritten) return text + ": about " + std::to_string(bytesNeeded) + " bytes are needed";
  if (bytesWritten > 0) return text + ": at least " + std::to_string(bytesWritten) + " bytes are needed";
  return text;
}

std::string WithReason(std::string_view message, std::string_view reason) {
  std::string text(message);
  text += '\n';
  text += reason;
  return text;
}

std::string WithSystemReason(std::string_view message, int errorNumber) {
  return WithReason(message, std::strerror(errorNumber));
}

std::string ForErrorBox(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

}  // namespace ErrorText
