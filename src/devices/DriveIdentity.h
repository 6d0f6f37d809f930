// Whether the drive behind a handle is still the drive the scan found. A
// drive swapped while the program runs can get the same node, path and device
// number as the one before it; only its own identity tells them apart.
#pragma once

#include <cstdint>
#include <string>

#include "host/Host.h"

namespace quarnel {

/// What identifies a drive: the kernel's disk sequence number where the host
/// has one (it changes with every medium attached), and in any case the
/// descriptor's model and serial bytes and the length in bytes.
struct TDriveIdentity {
  bool Read = false;  // false: nothing could be read, nothing matches it
  bool HasSequence = false;
  uint64_t Sequence = 0;
  std::string Model;   // vendor and product bytes of the descriptor, unescaped
  std::string Serial;  // as the identification reads it, unescaped
  int64_t Length = 0;
};

/// The identity of the drive behind `handle`, read quietly (no log lines).
/// Read stays false when the length or the device descriptor is refused.
TDriveIdentity ReadDriveIdentity(THandle handle);

/// Compares `expected` with what is now behind `handle`: the disk sequence
/// numbers when both have one, otherwise model, serial and length. Returns
/// true for the same drive; otherwise *change gets an English description of
/// the difference (shown escaped, as device text always is).
bool SameDrive(const TDriveIdentity& expected, THandle handle, std::string* change);

/// The main log's line when the drive has changed.
inline constexpr const char* kDriveChangedText = "所选设备已被更换，操作已停止，未写入任何数据。";

/// The main log's line when the drive changed between the run and its
/// read-back: what would be read is not what was written.
inline constexpr const char* kDriveChangedBeforeReadBackText =
    "所选设备已被更换，校验已停止：读取的不是刚才擦除的设备。";

/// SameDrive for the chosen drive's device-table identity; on a change adds
/// kDriveChangedText (or, before the read-back, its own line) to the main
/// log and the reason to the debug log.
bool ConfirmSameDrive(const TDriveIdentity& expected, THandle handle, bool beforeReadBack = false);

}  // namespace quarnel
