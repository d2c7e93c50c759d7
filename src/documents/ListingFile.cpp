#include "documents/ListingFile.h"

#include <cerrno>
#include <memory>
#include <new>

#include "documents/ListingWriter.h"
#include "platform/FileSaver.h"
#include "platform/MemoryBudget.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "surfaces/ErrorText.h"

namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 16;

[[noreturn]] void CannotOpen(const std::string& fileName, int errorNumber) {
  throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotOpenFile(fileName), errorNumber));
}

}  // namespace

bool WriteListingText(OutputChannel& out, const std::vector<std::string_view>& lines) {
  ListingWriter writer(out);
  for (const std::string_view line : lines)
    if (!writer.Add(line)) return false;
  return writer.Finish();
}

void WriteListingFile(const std::vector<std::string_view>& lines, const std::string& fileName) {
  SaveListingFile(fileName, [&lines](OutputChannel& out) { return WriteListingText(out, lines); });
}

void SaveListingFile(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText) {
  if (fileName.empty())
    throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotCreateFile(fileName), ENOENT));
  const FileSaver::Outcome outcome = FileSaver::Save(fileName, writeText);
  switch (outcome.failure) {
    case FileSaver::Failure::None:
      return;
    case FileSaver::Failure::CannotCreate:
      throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotCreateFile(fileName), outcome.error));
    case FileSaver::Failure::StreamWrite:
      throw QuillonError(ErrorText::WithSystemReason(ErrorText::kStreamWriteError, outcome.error));
    case FileSaver::Failure::BlockDevice:
      throw QuillonError(ErrorText::WithReason(ErrorText::CannotCreateFile(fileName), "Is a block device"));
  }
}

void ReadListingFile(const std::string& fileName, LineSink& lines, const ListingReadOptions& options) {
  ReadableFile file;
  if (!file.OpenForLoading(fileName, options.regularFileOnly)) CannotOpen(fileName, file.Error());
  if (file.IsFolder()) CannotOpen(fileName, EISDIR);
  if (options.regularFileOnly && !file.IsRegular())
    throw QuillonError(ErrorText::WithReason(ErrorText::CannotOpenFile(fileName), "Not a regular file"));
  const std::size_t limit = options.memoryLimit != 0 ? options.memoryLimit : MemoryBudget::AvailableBytes();

  // Read in one piece up to the first NUL, where the text ends; a pipe or a
  // growing file is read to its end, as long as the memory allows.
  std::size_t capacity = kReadChunk;
  if (file.IsRegular() && file.Size() > 0)
    capacity = std::min(static_cast<std::size_t>(file.Size()) + 1, std::max(limit, kReadChunk));
  std::unique_ptr<char[]> text;
  std::size_t size = 0;
  try {
    text = std::make_unique_for_overwrite<char[]>(capacity);
    for (;;) {
      if (size == capacity) {
        if (capacity >= limit) CannotOpen(fileName, ENOMEM);
        const std::size_t larger = std::min(capacity * 2, limit);
        auto bigger = std::make_unique_for_overwrite<char[]>(larger);
        std::memcpy(bigger.get(), text.get(), size);
        text = std::move(bigger);
        capacity = larger;
      }
      const long long got = file.Read(text.get() + size, std::min(capacity - size, std::size_t{64} << 20));
      if (got < 0) CannotOpen(fileName, file.Error());
      if (got == 0) break;
      const auto* nul = static_cast<const char*>(std::memchr(text.get() + size, '\0', static_cast<std::size_t>(got)));
      if (nul != nullptr) {
        size = static_cast<std::size_t>(nul - text.get());
        break;
      }
      size += static_cast<std::size_t>(got);
    }
  } catch (const std::bad_alloc&) {
    CannotOpen(fileName, ENOMEM);
  }
  file.Close();

  // Each line costs a view besides its text; the sink's list of views may
  // stand twice in memory while it grows.
  constexpr std::size_t kLineCost = 2 * sizeof(std::string_view);
  constexpr std::size_t kCheckEvery = 1 << 16;
  const std::string_view view(text.get(), size);
  lines.Clear();
  lines.AdoptText(std::move(text));
  std::size_t count = 0;
  try {
    SplitListingText(view, [&](std::string_view line) {
      if (++count % kCheckEvery == 0 && capacity + count * kLineCost > limit) {
        lines.Clear();
        CannotOpen(fileName, ENOMEM);
      }
      lines.AddAdoptedLine(line);
    });
  } catch (const std::bad_alloc&) {
    lines.Clear();
    CannotOpen(fileName, ENOMEM);
  }
}
