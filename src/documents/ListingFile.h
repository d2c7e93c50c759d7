#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "surfaces/LineSink.h"

// The byte form of listing and results files: each line followed by CR LF.

// Writes the lines to the named file. The text goes to a new file beside the
// target, is flushed to disk and then renamed over the target, so that on any
// failure an existing file keeps its old content and nothing is left behind.
// Fails with "Cannot create file %s" or "Stream write error".
void WriteListingFile(const std::vector<std::string_view>& lines, const std::string& fileName);

// Writes the lines, each followed by CR LF, to an open file descriptor in
// large chunks. False when a write falls short.
bool WriteListingText(int fd, const std::vector<std::string_view>& lines);

// Replaces the sink's lines by those of the named file: CR LF, a lone LF and a
// lone CR each end a line, and a NUL byte ends the text. Fails with
// "Cannot open file %s", leaving the sink as it was.
void ReadListingFile(const std::string& fileName, LineSink& lines);

// Splits text by the reading rule and hands each line to add.
template <typename AddLine>
void SplitListingText(std::string_view text, AddLine&& add);

#include "documents/ListingFile.inl"
