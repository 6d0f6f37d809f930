// Taking a drive's lettered volumes away from the file system for a format,
// and giving them back.
#pragma once

#include <cstdint>
#include <string>
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

/// Claims the open drive `drive` for this process alone until the release,
/// once its volumes are locked. False when something else still holds the
/// drive (swap, a mapping, an array, another program): each holder the host
/// names goes to the debug log.
bool ClaimDeviceForFormat(THandle drive);

/// What kept the last LockDeviceVolumes or ClaimDeviceForFormat from the
/// drive, one English line each: the volume that could not be locked with
/// the system's reason, or the holders the host named ("sdb2 is held by
/// dm-0"). Empty after a lock and claim that worked.
const std::vector<std::string>& DriveHolders();

/// Drops the claim, then closes every handle of LockedVolumeHandles and
/// empties it. A volume that cannot be mounted again is logged.
void ReleaseDeviceVolumes();

}  // namespace quarnel
