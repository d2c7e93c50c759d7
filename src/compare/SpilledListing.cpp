#include "compare/SpilledListing.h"

#include <cstdint>
#include <cstring>

#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"

SpilledListing::SpilledListing(std::string folder, std::size_t memoryLimit)
    : place_{std::move(folder), 0}, lines_(&place_, memoryLimit) {}

void SpilledListing::Add(std::string_view line) {
  const auto length = static_cast<std::uint32_t>(line.size());
  lines_.Put(&length, sizeof length);
  lines_.Put(line.data(), line.size());
}

bool SpilledListing::Next(std::string_view& line) {
  const char* head = lines_.Take(sizeof(std::uint32_t));
  if (head == nullptr) return false;
  std::uint32_t length;
  std::memcpy(&length, head, sizeof length);
  const char* text = length > 0 ? lines_.Take(length) : "";
  if (text == nullptr) throw QuillonError(ErrorText::kTemporaryFileCutShort);
  line = std::string_view(text, length);
  return true;
}

std::optional<std::vector<std::string_view>> SpilledListing::LinesInMemory() {
  if (lines_.OnDisk()) return std::nullopt;
  const std::string_view all = lines_.TakeAll();
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at + sizeof(std::uint32_t) <= all.size();) {
    std::uint32_t length;
    std::memcpy(&length, all.data() + at, sizeof length);
    at += sizeof length;
    lines.push_back(all.substr(at, length));
    at += length;
  }
  return lines;
}
