// The engine that overwrites the chosen drive with zeros from offset 0: the
// whole drive, or the first 10,240,000 bytes for a quick wipe. It writes in
// blocks that grow while the drive keeps up, reports progress on the format
// page after every block, and ends on completion, a stop request or a drive
// that has gone.
#pragma once

#include <cstdint>

#include "host/Host.h"
#include "ui/UiSeam.h"

namespace quarnel {

inline constexpr int64_t kQuickWipeBytes = 10240000;
/// A quick wipe also clears this much at the end of a drive larger than
/// kQuickWipeBytes + kQuickWipeTailBytes: the backup GPT lives there.
inline constexpr int64_t kQuickWipeTailBytes = 1048576;
inline constexpr int64_t kFirstBlockSize = 65536;
inline constexpr int64_t kZeroBufferSize = 33554432;  // also the largest block

/// SetFilePointerEx from the start; the new position, or -1 on failure.
int64_t SeekDevice(Host& host, THandle handle, int64_t offset);

class TDriveRun;

/// One run of zeros over the run's drive through its handle. The outcome goes
/// to the main log and the format page. Returns true only when the run
/// reached the end with every block written and the drive flushed.
bool RunLowLevelFormat(TDriveRun& run, bool quickWipe);

// The run's rules and format-page texts, shared with the read-back.

/// To the nearest integer, ties to even.
int64_t RoundEven(double value);

/// On every 10th block: doubles `blockSize`, up to kZeroBufferSize, when the
/// 10 blocks since the previous check took under a second. `lastStamp` is the
/// clock at that check, 0 before the first.
void GrowBlockSize(const TDriveRun& run, int64_t blockCount, int64_t& lastStamp,
                   int64_t& blockSize);

/// The bar and "N% 完成" for `done` of `total` bytes, and "当前扇区: N" for
/// the drive offset `reached`.
void ShowRunProgress(TUiSeam& ui, int64_t done, int64_t total, int64_t reached,
                     int64_t sectorSize);

/// "0.0 MB/s" (megabytes of 10^6 bytes) for `bytes` in `elapsed` milliseconds;
/// the label stays as it is when no time has passed.
void ShowRunSpeed(TUiSeam& ui, int64_t bytes, int64_t elapsed);

}  // namespace quarnel
