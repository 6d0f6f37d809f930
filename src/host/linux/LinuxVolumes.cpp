// LinuxHost volumes: the mount table as volume roots, the storage device
// number of a volume, the lock (non-forced unmounts of every mount point of the
// volume and of what is mounted beneath them), the exclusive claim of a drive,
// the remount on release (LinuxRemount.cpp), and the layout refresh.
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
#include <sstream>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/linux/LinuxHost.h"

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
    v.VfsOptions = Text(mnt_fs_get_vfs_options(entry));
    v.FsOptions = Text(mnt_fs_get_fs_options(entry));
    v.Root = Text(mnt_fs_get_root(entry));
    v.Devno = devno;
    v.MountId = mnt_fs_get_id(entry);
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

bool IsBeneath(const std::string& path, const std::string& mountPoint) {
  if (mountPoint == "/") return path != "/";
  return path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         path[mountPoint.size()] == '/';
}

std::vector<TLinuxVolume> MountsToTakeDown(const std::vector<TLinuxVolume>& mounted, dev_t devno,
                                           int drive) {
  std::vector<TLinuxVolume> chosen;
  for (const TLinuxVolume& v : mounted) {
    if (v.Devno == devno) chosen.push_back(v);
  }
  // What the drive has mounted beneath them must go first, or they stay busy.
  for (bool grew = true; grew;) {
    grew = false;
    for (const TLinuxVolume& v : mounted) {
      if (v.Drive != drive) continue;
      const bool taken = std::any_of(chosen.begin(), chosen.end(),
                                     [&](const TLinuxVolume& c) { return c.Target == v.Target; });
      const bool beneath = std::any_of(chosen.begin(), chosen.end(), [&](const TLinuxVolume& c) {
        return IsBeneath(v.Target, c.Target);
      });
      if (!taken && beneath) {
        chosen.push_back(v);
        grew = true;
      }
    }
  }
  // Deepest first: a mount made later may lie on an earlier one, never the reverse.
  std::sort(chosen.begin(), chosen.end(),
            [](const TLinuxVolume& a, const TLinuxVolume& b) { return a.MountId > b.MountId; });
  return chosen;
}

namespace {

std::vector<std::string> ListDir(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The device number a /proc/swaps entry names, when it is a block device.
std::string SwapDeviceNumber(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
  return std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

}  // namespace

std::vector<std::string> DriveHolders(const std::string& sysBlock, const std::string& disk,
                                      const std::string& procSwaps) {
  struct TPart {
    std::string Name, Devno;
  };
  const fs::path diskDir = fs::path(sysBlock) / disk;
  std::vector<TPart> parts{{disk, ReadLine(diskDir / "dev")}};
  for (const std::string& name : ListDir(diskDir)) {
    if (fs::exists(diskDir / name / "partition"))
      parts.push_back({name, ReadLine(diskDir / name / "dev")});
  }
  std::vector<std::string> lines;
  for (const TPart& part : parts) {
    const fs::path dir = part.Name == disk ? diskDir : diskDir / part.Name;
    for (const std::string& holder : ListDir(dir / "holders")) {
      lines.push_back(part.Name + " is held by " + holder);
    }
  }
  std::istringstream swaps(procSwaps);
  std::string line;
  std::getline(swaps, line);  // the column heads
  while (std::getline(swaps, line)) {
    std::istringstream fields(line);
    std::string path;
    if (!(fields >> path)) continue;
    const std::string base = fs::path(path).filename().string();
    const std::string devno = SwapDeviceNumber(path);
    for (const TPart& part : parts) {
      if (part.Name == base || (!devno.empty() && part.Devno == devno)) {
        lines.push_back(part.Name + " is active swap");
        break;
      }
    }
  }
  return lines;
}

uint32_t LinuxHost::GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) {
  std::vector<std::string> roots;
  for (const TLinuxVolume& v : ListMountedVolumes(drives_)) roots.push_back(v.Target);
  const uint32_t length = WriteDriveStrings(roots, capacity, buffer);
  if (length < capacity) Succeed();
  return length;
}

THandle LinuxHost::OpenVolume(const std::string& root) {
  const auto open = [this](TLinuxVolume volume) {
    TOpen opened;
    opened.IsVolume = true;
    opened.Drive = volume.Drive;
    opened.Volume = std::move(volume);
    return Track(std::move(opened));
  };
  for (TLinuxVolume& v : ListMountedVolumes(drives_)) {
    if (v.Target == root) return open(std::move(v));
  }
  // A mount point that a lock of this host took down (a nested mount or a
  // second mount point of the same volume) still names its volume.
  for (const TUnmounted& u : unmounted_) {
    if (u.Entry.Target == root) return open(u.Entry);
  }
  Fail(win::kERROR_FILE_NOT_FOUND, ENOENT);
  return kInvalidHandle;
}

bool LinuxHost::Unmount(TOpen& open, THandle handle) {
  // What earlier locks took down of this volume, or beneath it, is given back
  // by this one, so that a parent is mounted again before its children.
  std::vector<std::string> owned{open.Volume.Target};
  for (bool grew = true; grew;) {
    grew = false;
    for (TUnmounted& u : unmounted_) {
      const bool beneath = std::any_of(owned.begin(), owned.end(), [&](const std::string& t) {
        return IsBeneath(u.Entry.Target, t);
      });
      if (u.Owner != handle && (u.Entry.Devno == open.Volume.Devno || beneath)) {
        u.Owner = handle;
        owned.push_back(u.Entry.Target);
        grew = true;
      }
    }
  }
  const std::vector<TLinuxVolume> down =
      MountsToTakeDown(ListMountedVolumes(drives_), open.Volume.Devno, open.Drive);
  for (const TLinuxVolume& v : down) {
    TMountPlace place;
    if (const int error = PrepareUnmount(v, &place); error != 0) return FailErrno(error);
    // Never forced, never lazy: a volume in use refuses the lock.
    if (::umount2(v.Target.c_str(), UMOUNT_NOFOLLOW) != 0) return FailErrno(errno);
    unmounted_.push_back({v, place, handle, writes_[open.Drive]});
  }
  open.Unmounted = true;
  return Succeed();
}

bool LinuxHost::VolumeRequest(TOpen& open, THandle handle, uint32_t code, uint8_t* out,
                              uint32_t outSize, uint32_t* returned) {
  switch (code) {
    case win::kIOCTL_STORAGE_GET_DEVICE_NUMBER:
      if (outSize < win::kSTORAGE_DEVICE_NUMBER_SIZE)
        return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
      PutU32(out, 0, win::kFILE_DEVICE_DISK);
      PutU32(out, 4, static_cast<uint32_t>(open.Drive));
      PutU32(out, 8, open.Volume.Partition);
      *returned = win::kSTORAGE_DEVICE_NUMBER_SIZE;
      return Succeed();
    case win::kFSCTL_LOCK_VOLUME:
      if (open.Locked) return Fail(win::kERROR_ACCESS_DENIED, EBUSY);
      if (!Unmount(open, handle)) return false;
      open.Locked = true;
      return Succeed();
    case win::kFSCTL_DISMOUNT_VOLUME:
      return Unmount(open, handle);
    case win::kFSCTL_ALLOW_EXTENDED_DASD_IO:
      return Succeed();
    default:
      return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  }
}

bool LinuxHost::ClaimDrive(THandle handle, std::vector<std::string>* holders) {
  if (holders) holders->clear();
  TOpen* open = Find(handle);
  if (!open || open->IsVolume) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  if (open->ClaimFd >= 0) return Succeed();
  const TLinuxDrive& d = drives_[static_cast<size_t>(open->Drive)];
  // The kernel gives an exclusive open of the whole disk only while nothing
  // holds it or a partition: no mount, swap, device-mapper or md member.
  const int fd = ::open(d.Path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EBUSY && holders) {
      std::ifstream in("/proc/swaps");
      const std::string swaps((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      *holders = DriveHolders("/sys/block", d.Name, swaps);
      if (holders->empty()) holders->push_back(d.Name + " is claimed by another program");
    }
    return FailErrno(error);
  }
  open->ClaimFd = fd;
  return Succeed();
}

void LinuxHost::ReleaseDrive(THandle handle) {
  TOpen* open = Find(handle);
  if (!open || open->ClaimFd < 0) return;
  ::close(open->ClaimFd);
  open->ClaimFd = -1;
}

bool LinuxHost::ReleaseVolume(THandle handle, const TLinuxVolume& own) {
  std::vector<TUnmounted> mine;
  std::erase_if(unmounted_, [&](const TUnmounted& u) {
    if (u.Owner != handle) return false;
    mine.push_back(u);
    return true;
  });
  std::sort(mine.begin(), mine.end(), [](const TUnmounted& a, const TUnmounted& b) {
    return a.Entry.MountId < b.Entry.MountId;
  });
  std::string problems;
  int firstErrno = 0;
  for (const TUnmounted& u : mine) {
    if (writes_[u.Entry.Drive] != u.WritesAtUnmount)
      continue;  // written over: nothing to give back
    std::string error;
    int syscallErrno = 0;
    if (RemountVolume(u.Entry, u.Place, &error, &syscallErrno)) continue;
    if (!problems.empty()) problems += "; ";
    // The caller names the volume's own mount point; others are named here.
    problems += (u.Entry.Target == own.Target ? "" : u.Entry.Target + ": ") + error;
    if (firstErrno == 0) firstErrno = syscallErrno != 0 ? syscallErrno : EIO;
  }
  remountError_ = problems;
  if (problems.empty()) return Succeed();
  Fail(Win32FromErrno(firstErrno), firstErrno);
  lastText_ = problems;
  return false;
}

bool LinuxHost::RereadLayout(TOpen& open) {
  // While this host claims the drive the kernel takes the rescan only through
  // the claiming descriptor.
  int fd = open.Fd;
  for (const auto& [handle, other] : handles_) {
    if (!other.IsVolume && other.Drive == open.Drive && other.ClaimFd >= 0) fd = other.ClaimFd;
  }
  if (::ioctl(fd, BLKRRPART) == 0) return Succeed();
  return FailErrno(errno);
}

}  // namespace quarnel
