// Taking a drive's lettered volumes away from the file system for a format,
// and giving them back.
#pragma once

#include <cstdint>
#include <vector>

#include "host/Host.h"

namespace quarnel {

/// The volumes locked and dismounted by the last LockDeviceVolumes, in the
/// order they were locked; emptied by ReleaseDeviceVolumes.
extern std::vector<THandle> LockedVolumeHandles;

/// Opens, locks and dismounts every lettered volume of drive `deviceNumber`
/// (device type 7 and that number). True when all were locked, also when
/// the drive has none; false at the first that cannot be.
bool LockDeviceVolumes(int64_t deviceNumber);

/// Closes every handle of LockedVolumeHandles and empties it.
void ReleaseDeviceVolumes();

}  // namespace quarnel
