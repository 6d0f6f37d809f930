// LinuxHost volumes: the mount table as volume roots, the storage device
// number of a volume, the lock (non-forced unmount and an O_EXCL hold of the
// volume's node), the remount on release, and the layout refresh.
#include <fcntl.h>
#include <libmount/libmount.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/LinuxHost.h"

namespace quarnel {

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

struct TPlace {
  std::string Disk;        // name in /sys/block
  std::string Name;        // the device's own name
  uint32_t Partition = 0;  // 0: the whole disk
};

// Where a block device lies: a partition of a disk, a whole disk, or a
// device-mapper volume over one (followed down its first slave).
bool PlaceOf(dev_t devno, TPlace* place, int depth = 0) {
  std::error_code ec;
  const fs::path sys = fs::canonical(
      "/sys/dev/block/" + std::to_string(major(devno)) + ":" + std::to_string(minor(devno)), ec);
  if (ec || depth > 8) return false;
  const std::string name = sys.filename().string();
  if (depth == 0) place->Name = name;
  if (fs::exists(sys / "partition")) {
    place->Partition =
        static_cast<uint32_t>(std::strtoul(ReadLine(sys / "partition").c_str(), nullptr, 10));
    place->Disk = sys.parent_path().filename().string();
    return true;
  }
  if (fs::exists(sys / "slaves") && !fs::is_empty(sys / "slaves", ec)) {
    const fs::path slave = *fs::directory_iterator(sys / "slaves");
    unsigned maj = 0, min = 0;
    if (std::sscanf(ReadLine(slave / "dev").c_str(), "%u:%u", &maj, &min) != 2) return false;
    return PlaceOf(makedev(maj, min), place, depth + 1);
  }
  place->Disk = name;
  return true;
}

const char* Text(const char* text) { return text ? text : ""; }

bool MountOnce(const TLinuxVolume& v, const std::string& options, std::string* error) {
  libmnt_context* cxt = mnt_new_context();
  if (!cxt) {
    *error = "libmount: no context";
    return false;
  }
  mnt_context_set_optsmode(cxt, MNT_OMODE_NOTAB);  // exactly the old options, no fstab
  mnt_context_set_source(cxt, v.Source.c_str());
  mnt_context_set_target(cxt, v.Target.c_str());
  mnt_context_set_fstype(cxt, v.FsType.c_str());
  mnt_context_set_options(cxt, options.c_str());
  const int rc = mnt_context_mount(cxt);
  const bool ok = rc == 0 && mnt_context_get_status(cxt) == 1;
  if (!ok) {
    char buffer[512] = {};
    mnt_context_get_excode(cxt, rc, buffer, sizeof buffer);
    *error = "mounting " + v.Source + " on " + v.Target + " failed: " + buffer;
  }
  mnt_free_context(cxt);
  return ok;
}

}  // namespace

std::vector<TLinuxVolume> ListMountedVolumes(const std::vector<TLinuxDrive>& drives) {
  std::vector<TLinuxVolume> volumes;
  libmnt_table* table = mnt_new_table_from_file("/proc/self/mountinfo");
  if (!table) return volumes;
  libmnt_iter* it = mnt_new_iter(MNT_ITER_FORWARD);
  libmnt_fs* entry = nullptr;
  while (mnt_table_next_fs(table, it, &entry) == 0) {
    const dev_t devno = mnt_fs_get_devno(entry);
    const char* source = mnt_fs_get_srcpath(entry);
    TPlace place;
    if (devno == 0 || !source || source[0] != '/' || !PlaceOf(devno, &place)) continue;
    TLinuxVolume v;
    for (size_t i = 0; i < drives.size(); ++i) {
      if (drives[i].Name == place.Disk) v.Drive = static_cast<int>(i);
    }
    if (v.Drive < 0) continue;  // not on one of the host's drives
    v.Target = Text(mnt_fs_get_target(entry));
    v.Source = source;
    v.FsType = Text(mnt_fs_get_fstype(entry));
    v.Options = Text(mnt_fs_get_options(entry));
    v.VfsOptions = Text(mnt_fs_get_vfs_options(entry));
    v.Devno = devno;
    v.Partition = place.Partition;
    struct stat st {};
    const bool sourceIsNode =
        ::stat(source, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == devno;
    v.Node = sourceIsNode ? v.Source : "/dev/" + place.Name;
    // A later mount on the same place covers the earlier one.
    std::erase_if(volumes, [&](const TLinuxVolume& o) { return o.Target == v.Target; });
    volumes.push_back(std::move(v));
  }
  mnt_free_iter(it);
  mnt_unref_table(table);
  return volumes;
}

bool RemountVolume(const TLinuxVolume& v, std::string* error) {
  if (MountOnce(v, v.Options, error)) return true;
  // Some superblock options that the table shows are not accepted back.
  std::string second;
  if (!v.VfsOptions.empty() && v.VfsOptions != v.Options && MountOnce(v, v.VfsOptions, &second)) {
    error->clear();
    return true;
  }
  return false;
}

uint32_t LinuxHost::GetLogicalDriveStrings(uint32_t capacity, char* buffer) {
  std::vector<std::string> roots;
  for (const TLinuxVolume& v : ListMountedVolumes(drives_)) roots.push_back(v.Target);
  const uint32_t length = WriteDriveStrings(roots, capacity, buffer);
  if (length < capacity) Succeed();
  return length;
}

THandle LinuxHost::OpenVolume(const std::string& root) {
  for (TLinuxVolume& v : ListMountedVolumes(drives_)) {
    if (v.Target != root) continue;
    TOpen open;
    open.IsVolume = true;
    open.Drive = v.Drive;
    open.Volume = std::move(v);
    return Track(std::move(open));
  }
  Fail(win::ERROR_FILE_NOT_FOUND, ENOENT);
  return kInvalidHandle;
}

bool LinuxHost::Unmount(TOpen& open) {
  if (open.Unmounted) return Succeed();
  // Never forced, never lazy: a volume in use refuses the lock.
  if (::umount2(open.Volume.Target.c_str(), 0) != 0) return FailErrno(errno);
  open.Unmounted = true;
  open.WritesAtUnmount = writes_[open.Drive];
  return Succeed();
}

bool LinuxHost::VolumeRequest(TOpen& open, uint32_t code, uint8_t* out, uint32_t outSize,
                              uint32_t* returned) {
  switch (code) {
    case win::IOCTL_STORAGE_GET_DEVICE_NUMBER:
      if (outSize < win::STORAGE_DEVICE_NUMBER_SIZE)
        return Fail(win::ERROR_INSUFFICIENT_BUFFER, EINVAL);
      PutU32(out, 0, win::FILE_DEVICE_DISK);
      PutU32(out, 4, static_cast<uint32_t>(open.Drive));
      PutU32(out, 8, open.Volume.Partition);
      *returned = win::STORAGE_DEVICE_NUMBER_SIZE;
      return Succeed();
    case win::FSCTL_LOCK_VOLUME: {
      if (open.HoldFd >= 0) return Fail(win::ERROR_ACCESS_DENIED, EBUSY);
      if (!Unmount(open)) return false;
      // The exclusive hold keeps anyone from mounting it again meanwhile; it
      // fails while the filesystem is still mounted elsewhere.
      const int fd = ::open(open.Volume.Node.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
      if (fd < 0) return FailErrno(errno);
      open.HoldFd = fd;
      return Succeed();
    }
    case win::FSCTL_DISMOUNT_VOLUME:
      return Unmount(open);
    case win::FSCTL_ALLOW_EXTENDED_DASD_IO:
      return Succeed();
    default:
      return Fail(win::ERROR_INVALID_FUNCTION, ENOTTY);
  }
}

int LinuxHost::LockedVolumesOn(int drive) const {
  int count = 0;
  for (const auto& [handle, open] : handles_) {
    if (open.IsVolume && open.Drive == drive && (open.Unmounted || open.HoldFd >= 0)) ++count;
  }
  return count;
}

void LinuxHost::ReleaseVolume(TOpen& open) {
  if (open.HoldFd >= 0) ::close(open.HoldFd);
  open.HoldFd = -1;
  if (open.Unmounted && writes_[open.Drive] == open.WritesAtUnmount) {
    // Nothing was written to the drive: give the volume back where it was.
    std::string error;
    remountError_ = RemountVolume(open.Volume, &error) ? std::string() : error;
  }
  if (pendingReread_.count(open.Drive) != 0 && LockedVolumesOn(open.Drive) == 0) {
    pendingReread_.erase(open.Drive);
    const int fd =
        ::open(drives_[static_cast<size_t>(open.Drive)].Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      ::ioctl(fd, BLKRRPART);
      ::close(fd);
    }
  }
}

bool LinuxHost::RereadLayout(TOpen& open) {
  ::fdatasync(open.Fd);
  if (::ioctl(open.Fd, BLKRRPART) == 0) return Succeed();
  const int error = errno;
  // The partitions this host holds block the rescan; it follows their release.
  if (error == EBUSY && LockedVolumesOn(open.Drive) > 0) {
    pendingReread_.insert(open.Drive);
    return Succeed();
  }
  return FailErrno(error);
}

}  // namespace quarnel
