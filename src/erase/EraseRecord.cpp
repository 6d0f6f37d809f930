#include "erase/EraseRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "ata/AtaCommands.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "erase/FormatEngine.h"
#include "reports/SmartReport.h"

namespace quarnel {

const char* EraseOutcomeName(TEraseOutcome outcome) {
  switch (outcome) {
    case TEraseOutcome::Complete:
      return "complete";
    case TEraseOutcome::Failed:
      return "failed";
    case TEraseOutcome::Cancelled:
      return "cancelled";
    case TEraseOutcome::Aborted:
      return "aborted";
    case TEraseOutcome::NotLocked:
      return "not-locked";
    case TEraseOutcome::DriveChanged:
      return "drive-changed";
  }
  return "failed";
}

int64_t THiddenArea::HiddenSectors() const {
  // What is known to be hidden counts even when the rest is not known: a
  // native maximum above the reported one hides sectors whatever a DCO says.
  if (!Applies || NativeMax < 0) return 0;
  const int64_t top = std::max(NativeMax, DcoMax);
  return top > CurrentMax ? top - CurrentMax : 0;
}

const char* SanitizationCategory(const TEraseRecord& record, TSanitizationStandard standard) {
  // Overwriting the addressable sectors from the host is Clear in both.
  if (!record.FirmwareRun) return "Clear";
  // A Format NVM user data erase: Purge in NIST SP 800-88 Rev. 1's table for
  // NVMe drives, Clear in IEEE 2883-2022, which keeps Purge for the Sanitize
  // operations and cryptographic erase (docs/erase-record.md).
  if (record.FirmwareErase.Method == TFirmwareMethod::FormatUser &&
      standard == TSanitizationStandard::Ieee2883) {
    return "Clear";
  }
  return "Purge";
}

const char* SectorCoverage(const TEraseRecord& record) {
  const THiddenArea& h = record.HiddenArea;
  if (!h.Applies) return "all-sectors";
  if (h.HiddenSectors() > 0) return "visible-sectors-only";
  return h.Determined ? "all-sectors" : "undetermined";
}

std::vector<TByteRange> ErasedRanges(bool quickWipe, int64_t driveBytes) {
  if (driveBytes <= 0) return {};
  if (!quickWipe) return {{0, driveBytes}};
  std::vector<TByteRange> ranges{{0, std::min(driveBytes, kQuickWipeBytes)}};
  if (driveBytes > kQuickWipeBytes + kQuickWipeTailBytes) {
    ranges.push_back({driveBytes - kQuickWipeTailBytes, kQuickWipeTailBytes});
  }
  return ranges;
}

std::string UtcTimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc = *std::gmtime(&t);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms));
  return text;
}

}  // namespace quarnel
