#pragma once

#include "platform/FindData.h"

// File information taken from a search record.
namespace vexuf {

// The entry's size in bytes, a whole number not below 0.
double GetWFDFileSize(const FindData& findData);

// The entry's last modification time in UTC, as a day count since
// 30 December 1899 with the time of day as the fraction. The selector is
// always 0: the modification time.
double GetWFDUTCTimeInTDataTime(const FindData& findData, int selector);

}  // namespace vexuf
