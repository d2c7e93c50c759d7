#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/LineSink.h"

// The byte form of listing and results files: each line followed by CR LF.

// Writes the lines to the named file. A regular file with one name, in a
// folder we may write, gets a new file beside it that takes over its owner,
// group, permissions, extended attributes and access list, is flushed to disk
// and renamed over it, so that on any failure it keeps its old content and
// nothing is left behind; a new name is created the same way. Any other
// regular file is rewritten in place and flushed. A character device, a FIFO
// or a socket is written directly; a folder or a block device is refused. A
// link is written through, unless it stands in a sticky world-writable folder
// and belongs neither to us nor to the folder's owner; a dangling link or a
// loop is refused. Fails with "Cannot create file %s" or "Stream write error",
// each with the system's reason on a second line.
void WriteListingFile(const std::vector<std::string_view>& lines, const std::string& fileName);

// Writes the lines, each followed by CR LF, to an open file descriptor in
// large chunks. False when a write falls short.
bool WriteListingText(int fd, const std::vector<std::string_view>& lines);

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
