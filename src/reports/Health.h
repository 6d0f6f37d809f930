// A drive's health verdict, judged from its decoded SMART records: the ATA
// attribute table with its thresholds and the RETURN STATUS answer, or the
// NVMe health log. Pure functions: no device, no log, no state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/AtaCommands.h"
#include "nvme/NvmeDecode.h"
#include "reports/SmartReport.h"

namespace quarnel {

enum class THealthVerdict { Unknown, Good, Warning, Failing };

enum class THealthReasonKind {
  NoSmartData,            // neither a SMART page nor a health log came
  ReturnStatusFailed,     // RETURN STATUS: the drive predicts its own failure
  AttributeFailingNow,    // a pre-failure attribute's value is at or below its threshold
  AttributeFailedInPast,  // a pre-failure attribute's worst value is
  BadSectors,             // attribute 5 or 197 counts bad sectors
  ManyBadSectors,         // more bad sectors than the drive's limit
  NvmeCriticalWarning,    // a critical warning bit of the health log
  NvmeSpareLow,           // available spare at or below its threshold
  NvmeWornOut,            // percentage used at 100 or more
  NvmeMediaErrors,        // media and data integrity errors
};

struct THealthReason {
  THealthReasonKind Kind = THealthReasonKind::NoSmartData;
  uint8_t Attribute = 0;  // the attribute id; for a critical warning, its bit (0..5)
  uint64_t Value = 0;     // the value, worst value, sector count, percentage or error count
  uint64_t Limit = 0;     // the threshold, or the bad-sector limit
};

struct THealthAssessment {
  THealthVerdict Verdict = THealthVerdict::Unknown;
  TSmartReturnStatus ReturnStatus = TSmartReturnStatus::NoAnswer;
  /// Attributes 5 and 197 added up; empty when the drive counts neither.
  std::optional<uint64_t> BadSectors;
  std::vector<THealthReason> Reasons;  // empty only for a good drive
};

/// More bad sectors than this fail a drive of `sectors` sectors: 1024 for
/// every power of two in its size (29,696 for 976,773,168 sectors), so a
/// bigger drive may spend more spares before it counts as failing. 0 (no
/// limit) when the size is not known.
uint64_t BadSectorLimit(int64_t sectors);

/// The sectors attribute 5 or 197 counts: the low 32 bits of its raw value
/// (vendors keep other counters above them). Empty when that is no count:
/// FFFFFFFFh, or more sectors than the drive has (`sectors` > 0).
std::optional<uint64_t> BadSectorCount(const TSmartAttributeRow& attribute, int64_t sectors);

/// The verdict of an ATA drive. Failing: RETURN STATUS says so, a pre-failure
/// attribute is at or below its non-zero threshold now, or more bad sectors
/// than BadSectorLimit. Warning: any bad sector, or a pre-failure attribute's
/// worst value at or below its threshold. Old-age attributes do not count:
/// they reach their thresholds by age and use (start-stop counts of laptop
/// disks do), not as a sign of coming failure. A normalised value outside
/// 1..253 is no value and is not compared.
THealthAssessment AssessAtaHealth(const std::vector<TSmartAttributeRow>& attributes,
                                  TSmartReturnStatus status, int64_t sectors);

/// The verdict of an NVMe drive: any critical warning bit (0..5) is failing;
/// spare at or below its threshold, 100 % used or more, or media errors warn.
THealthAssessment AssessNvmeHealth(const TNvmeHealth& health);

/// The verdict of what the SMART report read; unknown when nothing came.
THealthAssessment AssessSmartFacts(const TSmartFacts& facts);

/// The name of a verdict as the windows and reports show it ("良好", "警告",
/// "故障", "未知").
const char* HealthVerdictText(THealthVerdict verdict);

/// What is said of a failing drive wherever its erase is asked for or
/// reported: its data must go, but it should not go back into service.
inline constexpr const char* kNotForReuseText = "此驱动器不应再使用。";

/// One line for the format question: the verdict, its first reason, and
/// for a failing drive that it should not be reused.
std::string HealthConfirmationLine(const THealthAssessment& assessment);

/// The report section of a verdict: the verdict line, an ATA drive's return
/// status and bad sectors, the reasons, and a closing blank line.
std::vector<std::string> HealthLines(const THealthAssessment& assessment, bool nvme);

}  // namespace quarnel
