// The record of one erase: what was asked, what the drive is, what was
// written, what failed, what the read-back found and how the run ended. The
// drive's run keeps it from the confirmation to the end of the run and hands
// it to the front end's writer (docs/erase-record.md).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devices/DriveErasure.h"
#include "reports/Health.h"

namespace quarnel {

/// The kind of medium, from the drive itself: IDENTIFY word 217 (its
/// rotation rate: 1 for none), the NVMe bus, a card reader's bus.
enum class TMediumType { Unknown, Rotating, SolidState, Nvme, FlashCard };

/// What only the person knows of an erase, kept in its record and printed on
/// its certificate: who erased it, for whom, where, and the asset's number.
struct TEraseContext {
  std::string Operator, Organisation, Location, AssetTag;
};

struct TByteRange {
  int64_t Offset = 0;
  int64_t Length = 0;
};

/// A block that failed: a write, a seek or a read by its Win32 code and the
/// host's text, or (Code 0) a read-back block that is not all zeros, with
/// the offset of its first non-zero byte.
struct TBlockFault {
  int64_t Offset = 0;
  int64_t Length = 0;
  uint32_t Code = 0;
  std::string Text;
  int64_t FirstNonZero = -1;
};

/// A stop rule of the terminal program that ended a run: which, its limit,
/// and the value that broke it ("stop-below" in MB/s, "stop-above" in °C).
struct TStopRule {
  std::string Rule;  // empty: no rule stopped the run
  double Limit = 0;
  double Value = 0;
};

struct TSmartAttribute {
  int Id = 0;
  int Value = 0;
  int Worst = 0;
  uint64_t Raw = 0;
};

/// A run by the drive's own erase command instead of the zero fill: which
/// method, the command that carries it, and what the drive answered.
struct TFirmwareErase {
  TFirmwareMethod Method = TFirmwareMethod::Block;
  TFirmwareCommand Command = TFirmwareCommand::AtaSanitize;
  bool AllNamespaces = false;  // the command covers every namespace of the controller
  bool Sent = false;           // the command reached the drive
  uint32_t Status = 0;         // the drive's raw completion status as the host returned it
  std::string StatusText;      // that status in words ("" when none came)
};

/// What the sample says of the erase.
enum class TSampleResult { Erased, NotErased, Inconclusive };

/// Sectors sampled before a drive's own erase and read again after it.
struct TSampleCheck {
  bool Ran = false;
  int64_t Sectors = 0;       // sampled
  int64_t BlankBefore = 0;   // already read as the erased pattern before: prove nothing
  int64_t Changed = 0;       // held data before and something else now
  int64_t Unchanged = 0;     // held data before and hold it still
  int64_t WrongPattern = 0;  // changed, but not to the pattern the drive states
  int64_t Unreadable = 0;    // could not be read before or after
  TErasedPattern Expected = TErasedPattern::Unspecified;
  TSampleResult Result = TSampleResult::Inconclusive;
};

/// Sectors an ATA drive hides from the system (host protected area, device
/// configuration overlay). Applies only to drives spoken to in ATA.
struct THiddenArea {
  bool Applies = false;     // false: no such area on this kind of drive (NVMe)
  bool Determined = false;  // the maxima below are the drive's, checked
  std::string Reason;       // why it could not be determined
  int64_t CurrentMax = 0;   // sectors the drive reports now
  int64_t NativeMax = -1;   // sectors up to the native maximum; -1 unknown
  int64_t DcoMax = -1;      // sectors up to the overlay's maximum; -1 unknown or none
  /// Sectors known to lie beyond the ones reported (0 when the native
  /// maximum is unknown).
  int64_t HiddenSectors() const;
};

/// Bytes done at a moment of the run, seconds after its first write.
struct TSpeedSample {
  double Seconds = 0;
  int64_t Bytes = 0;
};

enum class TEraseOutcome { Complete, Failed, Cancelled, Aborted, NotLocked, DriveChanged };

/// "complete", "failed", "cancelled", "aborted", "not-locked", "drive-changed".
const char* EraseOutcomeName(TEraseOutcome outcome);

struct TEraseRecord {
  std::string HostVersion;  // major.minor.build and service pack as the host reports them
  std::string Model, Serial, Firmware, Bus, Path;
  int64_t Sectors = 0;
  int64_t SectorSize = 0;
  int64_t Capacity = 0;  // bytes
  bool Quick = false;
  std::vector<TByteRange> Ranges;  // meant to be written
  std::string Start, End;          // ISO 8601, UTC
  int64_t BytesWritten = 0;
  std::vector<TBlockFault> FailedBlocks;
  bool FlushAttempted = false;
  bool Flushed = false;
  uint32_t FlushCode = 0;
  std::string FlushText;
  bool VerifyAsked = false;
  bool VerifyRan = false;
  int64_t BytesRead = 0;
  std::vector<TBlockFault> BadBlocks;
  TEraseOutcome Outcome = TEraseOutcome::Failed;
  bool HasSmart = false;
  std::vector<TSmartAttribute> SmartBefore, SmartAfter;
  bool FirmwareRun = false;  // the run was the drive's own erase (FirmwareErase holds it)
  TFirmwareErase FirmwareErase;
  TSampleCheck SampleCheck;
  THiddenArea HiddenArea;
  // The drive's health verdict before the run (as the question showed it),
  // and after it when the drive still answered.
  std::optional<THealthAssessment> HealthBefore, HealthAfter;
  TMediumType Medium = TMediumType::Unknown;
  int RotationRate = 0;  // revolutions per minute of a rotating medium; 0 when not told
  TEraseContext Context;
  std::vector<TSpeedSample> SpeedSamples;
  TStopRule StoppedBy;
};

enum class TSanitizationStandard { Nist80088, Ieee2883 };

/// "Clear" or "Purge": the category the run's method belongs to under NIST
/// SP 800-88 Rev. 1 or IEEE 2883-2022, as each assigns it
/// (docs/erase-record.md).
const char* SanitizationCategory(const TEraseRecord& record, TSanitizationStandard standard);

/// "all-sectors", "visible-sectors-only" (the drive hides sectors the run did
/// not reach) or "undetermined" (it could not be told).
const char* SectorCoverage(const TEraseRecord& record);

/// The byte ranges a run writes: the whole drive, or for a quick wipe the
/// first kQuickWipeBytes and, on a drive large enough, its last MiB.
std::vector<TByteRange> ErasedRanges(bool quickWipe, int64_t driveBytes);

/// Where a finished record goes. Returns true with *where set to the file's
/// path, or false with *where set to the path and *error to the reason.
using TEraseRecordWriter =
    std::function<bool(const TEraseRecord&, std::string* where, std::string* error)>;

/// The current time as ISO 8601 UTC with milliseconds ("2026-12-08T14:30:05.123Z").
std::string UtcTimeText();

}  // namespace quarnel
