// The record of one erase: what was asked, what the drive is, what was
// written, what failed, what the read-back found and how the run ended. The
// format procedure keeps it from the confirmation to the end of the run and
// hands it to the front end's writer (docs/erase-record.md).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarnel {

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

struct TSmartAttribute {
  int Id = 0;
  int Value = 0;
  int Worst = 0;
  uint64_t Raw = 0;
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
};

/// The byte ranges a run writes: the whole drive, or for a quick wipe the
/// first kQuickWipeBytes and, on a drive large enough, its last MiB.
std::vector<TByteRange> ErasedRanges(bool quickWipe, int64_t driveBytes);

/// Where a finished record goes. Returns true with *where set to the file's
/// path, or false with *where set to the path and *error to the reason.
using TEraseRecordWriter =
    std::function<bool(const TEraseRecord&, std::string* where, std::string* error)>;

/// The front end's writer; without one no record is kept and SMART is not
/// read for it.
void SetEraseRecordWriter(TEraseRecordWriter writer);
bool EraseRecordWanted();

/// The procedure's side: a record begins at the confirmation (the selected
/// drive, the mode, the start time, SMART before) and ends after the run,
/// which takes SMART again, hands the record to the writer and logs where
/// it went.
void BeginEraseRecord(bool quickWipe, bool verify);
void EndEraseRecord();

/// The engine's and the read-back's notes into the record being kept; no
/// effect when none is.
TEraseRecord* ActiveEraseRecord();
void NoteBytesWritten(int64_t bytes);
void NoteFailedBlock(int64_t offset, int64_t length, uint32_t code);
void NoteFlush(bool flushed, uint32_t code);
void NoteOutcome(TEraseOutcome outcome);

/// The current time as ISO 8601 UTC with milliseconds ("2026-12-08T14:30:05.123Z").
std::string UtcTimeText();

/// The last record handed to the writer (tests).
const TEraseRecord& LastEraseRecord();
void ResetEraseRecord();

}  // namespace quarnel
