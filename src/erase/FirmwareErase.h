// A run by the drive's own erase command: the sample read before, the
// command, its progress read from the drive every second to the end, and the
// sample read again and compared. It cannot be stopped once sent.
#pragma once

#include <cstdint>
#include <string>

#include "devices/DriveErasure.h"

namespace quarnel {

class TDriveRun;

/// A drive whose progress has not moved for this many one-second polls has
/// stalled: the run ends as not complete. Block and crypto erases finish in
/// minutes with progress moving; an overwrite moves at least every few
/// minutes on drives that take hours.
inline constexpr int64_t kFirmwareStallPolls = 900;

/// The time-outs the commands are sent with: a format runs to its end inside
/// the command; a sanitize returns at once and runs on in the drive.
inline constexpr uint32_t kFormatNvmTimeoutMs = 4u * 3600u * 1000u;
inline constexpr uint32_t kSanitizeTimeoutSeconds = 60;

/// Reads what the selected drive offers and picks the method for `choice`
/// ("auto": the first offered, in the order of kFirmwareMethods). False after
/// a message saying why nothing can be sent: no method offered, the one
/// chosen not offered (with the list of those that are), sanitize frozen.
bool ResolveFirmwareMethod(TDriveRun& run, const std::string& choice, TFirmwareCaps* caps,
                           TFirmwareMethod* method);

/// The confirmation's lines about the method, and about every namespace
/// where the command covers them all.
std::string FirmwareConfirmation(const TFirmwareCaps& caps, TFirmwareMethod method);

/// Runs `method` on the selected drive through DeviceHandle; the volumes are
/// locked and the drive claimed by the caller. Logs what happened, notes it
/// in the erase record, and returns true only when the drive reported success
/// and the sample check did not find data left.
bool RunFirmwareErase(TDriveRun& run, const TFirmwareCaps& caps, TFirmwareMethod method);

}  // namespace quarnel
