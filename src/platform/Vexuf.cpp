#include "platform/Vexuf.h"

namespace vexuf {

namespace {
constexpr double kUnixEpochDay = 25569.0;  // 1970-01-01 as a day count
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

double GetWFDFileSize(const FindData& findData) { return static_cast<double>(findData.Size); }

double GetWFDUTCTimeInTDataTime(const FindData& findData, int /*selector*/) {
  const double seconds =
      static_cast<double>(findData.ModifiedSeconds) + static_cast<double>(findData.ModifiedNanoseconds) * 1e-9;
  return kUnixEpochDay + seconds / kSecondsPerDay;
}

}  // namespace vexuf
