#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finds the Deleted and Added lines that are one file moved. A line's move
// key is, when it carries a digest, its size and digest (in either letter
// case, not the zeros of an unreadable file; an MD5 digest never equals an
// SHA-256 one, so the kinds never pair); without a digest, its file
// name, size and date-time (whatever the time separator).
// A file of size 0 has no move key, and keys of the two kinds never meet, so
// a line with a digest is never paired with one without. A Deleted and an
// Added line are paired when their key occurs exactly once among the Deleted
// lines and exactly once among the Added lines (and, without digests, the
// folders differ). The pairing does not depend on the order of the lines and
// takes time linear in their number.
class MovePairing {
 public:
  MovePairing(const std::vector<std::string_view>& deleted, const std::vector<std::string_view>& added);

  // The key a line pairs by; nothing for a line that can never be a move.
  static std::optional<std::string> KeyOf(std::string_view line);

  // For each Added line, the index of its Deleted partner, or -1.
  const std::vector<int>& PartnerOfAdded() const { return partnerOfAdded_; }
  // For each Deleted line, whether it has an Added partner.
  const std::vector<bool>& DeletedPaired() const { return deletedPaired_; }
  // Lines left unpaired although their key occurs on both sides, because it
  // is not unique on both.
  long long Ambiguous() const { return ambiguous_; }

 private:
  std::vector<int> partnerOfAdded_;
  std::vector<bool> deletedPaired_;
  long long ambiguous_ = 0;
};
