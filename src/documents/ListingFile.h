#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/LineSink.h"
#include "platform/OutputChannel.h"

// The byte form of listing and results files: each line followed by CR LF.

// Writes the lines to the named file, whole or not at all where the system
// allows (FileSaver tells how on each system). Fails with "Cannot create
// file %s" or "Stream write error", each with the system's reason on a second
// line.
void WriteListingFile(const std::vector<std::string_view>& lines, const std::string& fileName);

// Saves what writeText puts to the channel it is given as the named file, by
// the rules and with the failures of WriteListingFile.
void SaveListingFile(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText);

// Writes the lines, each followed by CR LF, to a channel in large chunks.
// False when a write falls short.
bool WriteListingText(OutputChannel& out, const std::vector<std::string_view>& lines);

struct ListingReadOptions {
  // Refuse FIFOs, devices and sockets, which could block or never end.
  bool regularFileOnly = false;
  // The most memory the text and its lines may take; 0 for what the machine
  // has available.
  std::size_t memoryLimit = 0;
};

// Replaces the sink's lines by those of the named file: CR LF, a lone LF and a
// lone CR each end a line, and a NUL byte ends the text, so reading stops
// there. Fails with "Cannot open file %s" and the reason on a second line,
// leaving the sink as it was, or emptied when the lines outgrow the memory.
void ReadListingFile(const std::string& fileName, LineSink& lines, const ListingReadOptions& options = {});

// Splits text by the reading rule and hands each line to add, in time linear
// in the text whatever its line ends.
template <typename AddLine>
void SplitListingText(std::string_view text, AddLine&& add);

#include "documents/ListingFile.inl"
