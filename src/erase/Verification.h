// The read-back after a completed run: every byte the run wrote is read
// again from the drive, in blocks of up to 4 MiB with the run's stop flag,
// and must be zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnel {

/// Reads back the selected drive's erased ranges (ErasedRanges) through
/// DeviceHandle, showing progress on the format page and logging each bad
/// block. Returns true only when every byte read is zero; the outcome also
/// goes to the erase record being kept.
class TDriveRun;

bool VerifyErasedDrive(TDriveRun& run, bool quickWipe);

/// Index of the first non-zero byte of `bytes`, or `size` when all are zero.
size_t FirstNonZero(const void* bytes, size_t size);

}  // namespace quarnel
