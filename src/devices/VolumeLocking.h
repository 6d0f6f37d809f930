// Taking a drive's lettered volumes away from the file system for a format,
// and giving them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/Host.h"

namespace quarnel {

/// One run's hold on its drive: the volumes it locked and dismounted, and
/// its claim of the whole drive. Whatever is still held when it goes is
/// released then.
class TVolumeLocks {
 public:
  explicit TVolumeLocks(Host& host) : host_(host) {}
  ~TVolumeLocks() { ReleaseDeviceVolumes(); }
  TVolumeLocks(const TVolumeLocks&) = delete;
  TVolumeLocks& operator=(const TVolumeLocks&) = delete;

  /// Opens, locks and dismounts every lettered volume of drive
  /// `deviceNumber` (device type 7 and that number). True when all were
  /// locked, also when the drive has none; false at the first that cannot be.
  bool LockDeviceVolumes(int64_t deviceNumber);

  /// Claims the open drive `drive` for this process alone until the
  /// release, once its volumes are locked. False when something else still
  /// holds the drive (swap, a mapping, an array, another program): each
  /// holder the host names goes to the debug log.
  bool ClaimDeviceForFormat(THandle drive);

  /// What kept the last lock or claim from the drive, one English line each:
  /// the volume that could not be locked with the system's reason, or the
  /// holders the host named ("sdb2 is held by dm-0"). Empty after a lock and
  /// claim that worked.
  const std::vector<std::string>& DriveHolders() const { return holders_; }

  /// Drops the claim, then closes every handle of LockedVolumeHandles and
  /// empties it. A volume that cannot be mounted again is logged.
  void ReleaseDeviceVolumes();

  /// The volumes locked and dismounted, in the order they were locked.
  const std::vector<THandle>& LockedVolumeHandles() const { return handles_; }

 private:
  bool LockVolume(const std::string& root);
  void VolumeHeld(const std::string& root);

  Host& host_;
  std::vector<THandle> handles_;
  std::vector<std::string> roots_;  // beside handles_
  THandle claimed_ = kInvalidHandle;
  std::vector<std::string> holders_;
};

}  // namespace quarnel
