// LinuxHost: handles, opens, writes, seeks, errors and the platform facts.
// Drive requests are in LinuxDrives.cpp, ATA commands in LinuxAta.cpp, volumes
// in LinuxVolumes.cpp.
#include "host/linux/LinuxHost.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/HostConstants.h"
#include "host/MachineHost.h"

namespace quarnel {

namespace {
const std::string kVolumePrefix = "\\\\.\\";
constexpr size_t kDirectAlignment = 4096;
constexpr size_t kBounceLimit = size_t{32} << 20;
constexpr int kMaxDrives = 256;

// The errno <-> Win32 code pairs. A code's representative errno, for a code
// met without one (a code the core asks about that no call of this host
// produced), is that of its first pair; a one-way pair serves only that
// direction.
struct TErrnoCode {
  int Errno;
  uint32_t Code;
  bool ToErrnoOnly;
};
constexpr TErrnoCode kErrnoCodes[] = {
    {ENOENT, win::kERROR_FILE_NOT_FOUND, false},
    {ENOMEDIUM, win::kERROR_FILE_NOT_FOUND, false},
    {ENOMEDIUM, win::kERROR_NOT_READY, true},
    {EROFS, win::kERROR_WRITE_PROTECT, false},
    {EIO, win::kERROR_IO_DEVICE, false},
    {ETIMEDOUT, win::kERROR_SEM_TIMEOUT, false},
    {ENXIO, win::kERROR_DEV_NOT_EXIST, false},
    {ENODEV, win::kERROR_DEV_NOT_EXIST, false},
    {EACCES, win::kERROR_ACCESS_DENIED, false},
    {EPERM, win::kERROR_ACCESS_DENIED, false},
    {EBUSY, win::kERROR_BUSY, false},
    {EINVAL, win::kERROR_INVALID_PARAMETER, false},
    {EWOULDBLOCK, win::kERROR_SHARING_VIOLATION, false},
    {ENOTTY, win::kERROR_INVALID_FUNCTION, false},
    {EOPNOTSUPP, win::kERROR_INVALID_FUNCTION, false},
    {EOPNOTSUPP, win::kERROR_NOT_SUPPORTED, true},
    {ENOMEM, win::kERROR_NOT_ENOUGH_MEMORY, false},
    {EBADF, win::kERROR_INVALID_HANDLE, false},
    {ENOSPC, win::kERROR_SECTOR_NOT_FOUND, false},  // past the end of the device
};

int ErrnoForCode(uint32_t code) {
  for (const TErrnoCode& pair : kErrnoCodes) {
    if (pair.Code == code) return pair.Errno;
  }
  return 0;
}
}  // namespace

uint32_t Win32FromErrno(int error) {
  if (error == 0) return win::kERROR_SUCCESS;
  for (const TErrnoCode& pair : kErrnoCodes) {
    if (pair.Errno == error && !pair.ToErrnoOnly) return pair.Code;
  }
  return win::kERROR_GEN_FAILURE;
}

TPlatformVersion PlatformFromUname(const std::string& sysname, const std::string& release,
                                   const std::string& machine) {
  TPlatformVersion v;
  v.PlatformId = win::kVER_PLATFORM_WIN32_NT;  // the start-up test asks for the NT family
  uint32_t* fields[] = {&v.Major, &v.Minor, &v.Build};
  size_t at = 0;
  for (uint32_t* field : fields) {
    uint32_t value = 0;
    bool any = false;
    while (at < release.size() && release[at] >= '0' && release[at] <= '9') {
      value = value * 10 + static_cast<uint32_t>(release[at++] - '0');
      any = true;
    }
    if (!any) break;
    *field = value;
    if (at >= release.size() || release[at] != '.') break;
    ++at;
  }
  v.ServicePack = sysname + " " + machine;
  return v;
}

bool IsWow64For(const std::string& machine, size_t pointerSize) {
  // A 64-bit program runs only on a 64-bit kernel. A 32-bit one sees the
  // kernel's own machine name unless it asked for a 32-bit personality.
  if (pointerSize == 8) return true;
  return pointerSize == 4 && machine.find("64") != std::string::npos;
}

std::vector<TLinuxDrive> PresentDrives(const std::vector<std::string>& nodes) {
  std::vector<TLinuxDrive> drives;
  std::vector<std::string> listed = nodes;
  if (listed.empty()) {
    for (const std::string& name : ListSysBlockDisks()) listed.push_back("/dev/" + name);
  }
  for (const std::string& node : listed) {
    TLinuxDrive drive;
    std::string ignored;
    if (!DriveFromNode(node, &drive, &ignored)) continue;
    if (drive.Name.rfind("loop", 0) == 0 &&
        ::access(("/sys/block/" + drive.Name + "/loop/backing_file").c_str(), F_OK) != 0) {
      continue;  // a loop device without a file is no drive yet
    }
    drives.push_back(drive);
  }
  return drives;
}

std::unique_ptr<Host> CreateMachineHost(const std::vector<std::string>& devices, std::string* error,
                                        std::string* notice, bool absentAllowed) {
  std::vector<TLinuxDrive> drives;
  if (devices.empty()) {
    drives = PresentDrives({});
  } else {
    for (const std::string& node : devices) {
      TLinuxDrive drive;
      if (absentAllowed) {
        // A node still missing, or a loop device without its file, comes later.
        struct stat st {};
        if (::stat(node.c_str(), &st) != 0) continue;
        if (PresentDrives({node}).empty()) {
          if (!DriveFromNode(node, &drive, error)) return nullptr;
          continue;
        }
      }
      if (!DriveFromNode(node, &drive, error)) return nullptr;
      for (const TLinuxDrive& other : drives) {
        if (other.Devno == drive.Devno) {
          *error = node + " is listed twice (as " + other.Path + ")";
          return nullptr;
        }
      }
      drives.push_back(drive);
    }
  }
  if (drives.size() > kMaxDrives) drives.resize(kMaxDrives);
  if (::geteuid() != 0) *notice = "drives cannot be opened without root rights";
  return std::make_unique<LinuxHost>(std::move(drives), devices);
}

LinuxHost::LinuxHost(std::vector<TLinuxDrive> drives, std::vector<std::string> watched)
    : drives_(std::move(drives)), watched_(std::move(watched)) {}

void LinuxHost::RefreshDrives() {
  const std::vector<TLinuxDrive> now = PresentDrives(watched_);
  const auto same = [](const TLinuxDrive& a, const TLinuxDrive& b) {
    return a.Path == b.Path && a.Devno == b.Devno;
  };
  for (TLinuxDrive& known : drives_) {
    known.Gone = std::none_of(now.begin(), now.end(),
                              [&](const TLinuxDrive& d) { return same(d, known); });
  }
  for (const TLinuxDrive& drive : now) {
    const bool known = std::any_of(drives_.begin(), drives_.end(),
                                   [&](const TLinuxDrive& d) { return same(d, drive); });
    if (!known && drives_.size() < kMaxDrives) drives_.push_back(drive);
  }
}

LinuxHost::~LinuxHost() {
  // Volumes still locked at the end are given back like on a release.
  while (!handles_.empty()) CloseHandle(handles_.begin()->first);
  std::free(bounce_);
}

bool LinuxHost::Fail(uint32_t code, int error) {
  lastError_ = code;
  lastText_.clear();
  lastErrno_ = error != 0 ? error : ErrnoForCode(code);
  if (lastErrno_ != 0) errnoOf_[code] = lastErrno_;
  return false;
}

LinuxHost::TOpen* LinuxHost::Find(THandle handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

THandle LinuxHost::Track(TOpen open) {
  const THandle handle = nextHandle_++;
  handles_[handle] = std::move(open);
  Succeed();
  return handle;
}

std::string LinuxHost::DrivePath(int n) {
  if (n < 0 || n >= static_cast<int>(drives_.size())) return {};
  if (drives_[static_cast<size_t>(n)].Gone) return {};
  return drives_[static_cast<size_t>(n)].Path;
}

THandle LinuxHost::CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                                uint32_t disposition, uint32_t) {
  if (disposition != win::kOPEN_EXISTING) {
    Fail(win::kERROR_INVALID_PARAMETER, EINVAL);
    return kInvalidHandle;
  }
  if (path.rfind(kVolumePrefix, 0) == 0) return OpenVolume(path.substr(kVolumePrefix.size()));
  // Only the host's own drives are opened: nothing else is a drive path.
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (drives_[i].Path == path && !drives_[i].Gone) return OpenDrive(static_cast<int>(i), access, shareMode);
  }
  Fail(win::kERROR_FILE_NOT_FOUND, ENOENT);
  return kInvalidHandle;
}

THandle LinuxHost::OpenDrive(int drive, uint32_t access, uint32_t shareMode) {
  const TLinuxDrive& d = drives_[static_cast<size_t>(drive)];
  const bool write = (access & win::kGENERIC_WRITE) != 0;
  const int flags = O_CLOEXEC | (write ? O_RDWR | O_DIRECT : O_RDONLY);
  const int fd = ::open(d.Path.c_str(), flags);
  if (fd < 0) {
    FailErrno(errno);
    return kInvalidHandle;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != d.Devno) {
    ::close(fd);
    Fail(win::kERROR_FILE_NOT_FOUND, ENODEV);  // the node no longer is that drive
    return kInvalidHandle;
  }
  // Another Quarnel's unshared open holds an exclusive lock; ours keeps a
  // shared one, like Windows share modes between processes.
  if (access != 0 && ::flock(fd, (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      Fail(win::kERROR_SHARING_VIOLATION, error);
    } else {
      FailErrno(error);
    }
    return kInvalidHandle;
  }
  TOpen open;
  open.Drive = drive;
  open.Fd = fd;
  open.Access = access;
  return Track(std::move(open));
}

bool LinuxHost::CloseHandle(THandle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  TOpen open = std::move(it->second);
  handles_.erase(it);
  if (open.ClaimFd >= 0) ::close(open.ClaimFd);
  if (open.Fd >= 0) ::close(open.Fd);
  if (open.IsVolume) return ReleaseVolume(handle, open.Volume);
  return Succeed();
}

bool LinuxHost::DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize,
                                void* out, uint32_t outSize, uint32_t* bytesReturned) {
  *bytesReturned = 0;
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  // The input may be the output area: work from a copy.
  std::vector<uint8_t> input(static_cast<const uint8_t*>(in),
                             static_cast<const uint8_t*>(in) + (in ? inSize : 0));
  auto* o = static_cast<uint8_t*>(out);
  if (!o) outSize = 0;
  if (open->IsVolume) return VolumeRequest(*open, handle, code, o, outSize, bytesReturned);
  return DriveRequest(*open, code, input.data(), static_cast<uint32_t>(input.size()), o, outSize,
                      bytesReturned);
}

bool LinuxHost::WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) {
  *written = 0;
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  if (open->IsVolume || !(open->Access & win::kGENERIC_WRITE)) {
    return Fail(win::kERROR_ACCESS_DENIED, EBADF);
  }
  const auto* from = static_cast<const uint8_t*>(buffer);
  const bool aligned = reinterpret_cast<uintptr_t>(from) % kDirectAlignment == 0;
  if (!aligned && bounceSize_ < std::min<size_t>(size, kBounceLimit)) {
    std::free(bounce_);
    bounceSize_ = (std::min<size_t>(size, kBounceLimit) + kDirectAlignment - 1) / kDirectAlignment *
                  kDirectAlignment;
    bounce_ = static_cast<uint8_t*>(std::aligned_alloc(kDirectAlignment, bounceSize_));
    if (!bounce_) {
      bounceSize_ = 0;
      return Fail(win::kERROR_NOT_ENOUGH_MEMORY, ENOMEM);
    }
  }
  // O_DIRECT takes its bytes from an aligned buffer only.
  uint32_t done = 0;
  while (done < size) {
    const size_t chunk = aligned ? size - done : std::min<size_t>(size - done, bounceSize_);
    const uint8_t* source = from + done;
    if (!aligned) {
      std::memcpy(bounce_, source, chunk);
      source = bounce_;
    }
    const ssize_t n = ::write(open->Fd, source, chunk);
    if (n <= 0) {
      const int error = n == 0 ? ENOSPC : errno;
      if (error == EINTR) continue;
      *written = done;
      writes_[open->Drive] += done;
      return FailErrno(error);
    }
    done += static_cast<uint32_t>(n);
  }
  writes_[open->Drive] += done;
  *written = done;
  // O_DIRECT reports each block's own failure; the drive's cache is flushed
  // once, before the run reports its outcome.
  return Succeed();
}

uint32_t LinuxHost::ReadRefusal(const TOpen* open) {
  if (!open) return win::kERROR_INVALID_HANDLE;
  if (open->IsVolume || !(open->Access & win::kGENERIC_READ)) return win::kERROR_ACCESS_DENIED;
  return 0;
}

bool LinuxHost::ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) {
  *read = 0;
  TOpen* open = Find(handle);
  if (const uint32_t code = ReadRefusal(open)) return Fail(code, EBADF);
  auto* to = static_cast<uint8_t*>(buffer);
  const bool aligned = reinterpret_cast<uintptr_t>(to) % kDirectAlignment == 0;
  if (!aligned && bounceSize_ < std::min<size_t>(size, kBounceLimit)) {
    std::free(bounce_);
    bounceSize_ = (std::min<size_t>(size, kBounceLimit) + kDirectAlignment - 1) / kDirectAlignment *
                  kDirectAlignment;
    bounce_ = static_cast<uint8_t*>(std::aligned_alloc(kDirectAlignment, bounceSize_));
    if (!bounce_) {
      bounceSize_ = 0;
      return Fail(win::kERROR_NOT_ENOUGH_MEMORY, ENOMEM);
    }
  }
  // The drive handle is O_DIRECT: the bytes come from the medium, not the
  // page cache, and only into an aligned buffer.
  uint32_t done = 0;
  while (done < size) {
    const size_t chunk = aligned ? size - done : std::min<size_t>(size - done, bounceSize_);
    uint8_t* target = aligned ? to + done : bounce_;
    const ssize_t n = ::read(open->Fd, target, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      *read = done;
      return FailErrno(error);
    }
    if (n == 0) break;  // the end of the drive
    if (!aligned) std::memcpy(to + done, bounce_, static_cast<size_t>(n));
    done += static_cast<uint32_t>(n);
  }
  *read = done;
  return Succeed();
}

// pread on the drive's descriptor: no position, no bounce buffer, no last
// error, so that two reads may run at once while the calling thread goes on.
bool LinuxHost::ReadAt(THandle handle, void* buffer, uint32_t size, int64_t offset,
                       uint32_t* read, uint32_t* error) {
  *read = 0;
  *error = 0;
  const TOpen* open = Find(handle);
  if (const uint32_t code = ReadRefusal(open)) {
    *error = code;
  } else if (offset < 0) {
    *error = win::kERROR_NEGATIVE_SEEK;
  } else if (reinterpret_cast<uintptr_t>(buffer) % kDirectAlignment != 0) {
    *error = win::kERROR_INVALID_PARAMETER;  // O_DIRECT reads into aligned memory only
  }
  if (*error != 0) return false;
  auto* to = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(open->Fd, to + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      *read = done;
      *error = Win32FromErrno(errno);
      return false;
    }
    if (n == 0) break;  // the end of the drive
    done += static_cast<uint32_t>(n);
  }
  *read = done;
  return true;
}

bool LinuxHost::FlushFileBuffers(THandle handle) {
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  if (::fsync(open->Fd) != 0) return FailErrno(errno);
  return Succeed();
}

bool LinuxHost::SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                                 uint32_t moveMethod) {
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE, EBADF);
  if (open->IsVolume) return Fail(win::kERROR_INVALID_FUNCTION, ESPIPE);
  int whence = SEEK_SET;
  if (moveMethod == win::kFILE_CURRENT) {
    whence = SEEK_CUR;
  } else if (moveMethod == win::kFILE_END) {
    whence = SEEK_END;
  } else if (moveMethod != win::kFILE_BEGIN) {
    return Fail(win::kERROR_INVALID_PARAMETER, EINVAL);
  }
  if (whence == SEEK_SET && distance < 0) return Fail(win::kERROR_NEGATIVE_SEEK, EINVAL);
  const off_t at = ::lseek(open->Fd, static_cast<off_t>(distance), whence);
  if (at < 0) {
    // lseek answers EINVAL for a position before the start.
    return errno == EINVAL ? Fail(win::kERROR_NEGATIVE_SEEK, EINVAL) : FailErrno(errno);
  }
  if (newPosition) *newPosition = at;
  return Succeed();
}

std::string LinuxHost::ErrorText(uint32_t code) {
  if (code == 0) return std::strerror(0);
  if (code == lastError_ && !lastText_.empty()) return lastText_;
  int error = code == lastError_ ? lastErrno_ : 0;
  if (error == 0) {
    auto it = errnoOf_.find(code);
    error = it != errnoOf_.end() ? it->second : ErrnoForCode(code);
  }
  if (error == 0) return "Unknown error " + std::to_string(code);
  return std::strerror(error);
}

TPlatformVersion LinuxHost::GetVersion() {
  struct utsname u {};
  if (::uname(&u) != 0) return PlatformFromUname("Linux", "", "");
  return PlatformFromUname(u.sysname, u.release, u.machine);
}

bool LinuxHost::IsWow64() {
  struct utsname u {};
  if (::uname(&u) != 0) return false;
  return IsWow64For(u.machine, sizeof(void*));
}

void LinuxHost::Sleep(uint32_t milliseconds) {
  timespec t{static_cast<time_t>(milliseconds / 1000),
             static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

}  // namespace quarnel
