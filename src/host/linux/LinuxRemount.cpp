// LinuxHost: the unmount of a volume and its mount again on release. A lock
// runs as root in folders that users may own: between the unmount and the
// mount again such a user can put a symbolic link or another folder where the
// mount point was. The volume therefore goes back only onto the very folder it
// covered (known by its device and inode, noted before the unmount), reached
// without following a link, through the new mount API (fsopen, fsmount,
// move_mount onto a descriptor of that folder); otherwise it stays unmounted.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "host/linux/LinuxHost.h"

namespace quarnel {

namespace {

class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  TFd(TFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int Get() const { return fd_; }
  bool Ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

// An O_PATH descriptor of `path` from `dir`, resolved as `resolve` allows.
int OpenPath(int dir, const std::string& path, uint64_t flags, uint64_t resolve) {
  open_how how{};
  how.flags = O_PATH | O_CLOEXEC | flags;
  how.resolve = resolve;
  return static_cast<int>(::syscall(SYS_openat2, dir, path.c_str(), &how, sizeof how));
}

std::string ParentOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  return slash == 0 ? "/" : target.substr(0, slash);
}

std::string NameOf(const std::string& target) { return target.substr(target.rfind('/') + 1); }

std::string Why(int error, const std::string& what) {
  if (error == ENOSYS) return "this kernel lacks the mount calls needed to mount it safely";
  if (error == ELOOP) return "a symbolic link lies on the way to " + what;
  return what + ": " + std::strerror(error);
}

// The mount id of what `fd` lies on; 0 when the kernel does not tell it.
uint64_t MountIdOf(int fd) {
  struct statx st {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
    return 0;
  return st.stx_mnt_id;
}

std::vector<std::string> SplitOptions(const std::string& text) {
  std::vector<std::string> options;
  std::istringstream in(text);
  for (std::string option; std::getline(in, option, ',');) {
    if (!option.empty()) options.push_back(option);
  }
  return options;
}

unsigned MountAttributes(const std::string& vfsOptions) {
  unsigned attributes = 0;
  for (const std::string& option : SplitOptions(vfsOptions)) {
    if (option == "ro") attributes |= MOUNT_ATTR_RDONLY;
    if (option == "nosuid") attributes |= MOUNT_ATTR_NOSUID;
    if (option == "nodev") attributes |= MOUNT_ATTR_NODEV;
    if (option == "noexec") attributes |= MOUNT_ATTR_NOEXEC;
    if (option == "noatime") attributes |= MOUNT_ATTR_NOATIME;
    if (option == "strictatime") attributes |= MOUNT_ATTR_STRICTATIME;
    if (option == "nodiratime") attributes |= MOUNT_ATTR_NODIRATIME;
    if (option == "nosymfollow") attributes |= MOUNT_ATTR_NOSYMFOLLOW;
  }
  return attributes;
}

// The filesystem's own message on a refused fsconfig, when it left one.
std::string FsMessage(int fs) {
  char text[512];
  const ssize_t n = ::read(fs, text, sizeof text - 1);
  if (n <= 2) return {};
  std::string message(text, static_cast<size_t>(n));
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return message.size() > 2 && message[1] == ' ' ? message.substr(2) : message;
}

// A detached mount of the volume, of the folder of it that was mounted there,
// with the old options (all of them, or only read-only when `allOptions` is
// false: the table shows some options that are not accepted back).
TFd NewMount(const TLinuxVolume& v, bool allOptions, std::string* error, int* syscallErrno) {
  const auto fail = [&](const std::string& text) {
    *syscallErrno = errno;
    *error = text;
    return TFd();
  };
  TFd fs(::fsopen(v.FsType.c_str(), FSOPEN_CLOEXEC));
  if (!fs.Ok()) return fail(Why(errno, "filesystem type " + v.FsType));
  if (::fsconfig(fs.Get(), FSCONFIG_SET_STRING, "source", v.Source.c_str(), 0) != 0)
    return fail(Why(errno, v.Source));
  for (const std::string& option : SplitOptions(v.FsOptions)) {
    if (!allOptions && option != "ro") continue;
    const size_t equals = option.find('=');
    const int rc = equals == std::string::npos
                       ? ::fsconfig(fs.Get(), FSCONFIG_SET_FLAG, option.c_str(), nullptr, 0)
                       : ::fsconfig(fs.Get(), FSCONFIG_SET_STRING,
                                    option.substr(0, equals).c_str(),
                                    option.substr(equals + 1).c_str(), 0);
    if (rc != 0) {
      const int error = errno;
      const std::string said = FsMessage(fs.Get());
      errno = error;
      return fail("option " + option + ": " + (said.empty() ? std::strerror(error) : said));
    }
  }
  if (::fsconfig(fs.Get(), FSCONFIG_CMD_CREATE, nullptr, nullptr, 0) != 0) {
    const int error = errno;
    const std::string said = FsMessage(fs.Get());
    errno = error;
    return fail("mounting " + v.Source + ": " + (said.empty() ? std::strerror(error) : said));
  }
  TFd mount(::fsmount(fs.Get(), FSMOUNT_CLOEXEC, MountAttributes(v.VfsOptions)));
  if (!mount.Ok()) return fail(Why(errno, "mounting " + v.Source));
  if (v.Root.empty() || v.Root == "/") return mount;
  // A folder of the volume was mounted there (a bind mount): that folder, found
  // inside the volume without leaving it or following a link.
  const TFd folder(OpenPath(mount.Get(), v.Root.substr(1), O_DIRECTORY,
                            RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV));
  if (!folder.Ok()) return fail(Why(errno, "folder " + v.Root + " of " + v.Source));
  TFd tree(::open_tree(folder.Get(), "", OPEN_TREE_CLONE | OPEN_TREE_CLOEXEC | AT_EMPTY_PATH));
  if (!tree.Ok()) return fail(Why(errno, "folder " + v.Root + " of " + v.Source));
  return tree;
}

}  // namespace

int PrepareUnmount(const TLinuxVolume& v, TMountPlace* place) {
  *place = TMountPlace();
  if (v.Target.size() < 2 || v.Target[0] != '/') {
    place->Why = "the root folder is not mounted again";
    return 0;
  }
  // The mount point, reached without a link, must be this very mount: else the
  // unmount would take down something else.
  {
    const TFd point(OpenPath(AT_FDCWD, v.Target, O_DIRECTORY, RESOLVE_NO_SYMLINKS));
    if (!point.Ok()) {
      if (errno != ENOSYS) return errno;
      place->Why = Why(ENOSYS, v.Target);
      return 0;
    }
    const uint64_t id = MountIdOf(point.Get());
    if (id != 0 && id != static_cast<uint64_t>(v.MountId)) return ESTALE;
  }
  // The folder the mount covers: its parent's entry names it (readdir gives
  // the covered folder's inode, where stat would give the mounted root's).
  // No copy of a mount is made here: its release may lag, keeping the drive
  // busy when it is claimed next.
  const int parent = OpenPath(AT_FDCWD, ParentOf(v.Target), O_DIRECTORY, RESOLVE_NO_SYMLINKS);
  if (parent < 0 && errno == ENOSYS) {
    place->Why = Why(ENOSYS, v.Target);
    return 0;
  }
  if (parent < 0) return errno;
  // O_PATH cannot be listed: the same folder again, opened for reading.
  const int listed = ::openat(parent, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ::close(parent);
  struct stat folder {};
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!dir || ::fstat(listed, &folder) != 0) {
    place->Why = Why(errno, "the folder above " + v.Target);
    if (dir) ::closedir(dir);
    else if (listed >= 0) ::close(listed);
    return 0;
  }
  const std::string name = NameOf(v.Target);
  while (const dirent* entry = ::readdir(dir)) {
    if (name != entry->d_name) continue;
    if (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) {
      place->Known = true;
      place->Dev = folder.st_dev;
      place->Ino = entry->d_ino;
    }
    break;
  }
  ::closedir(dir);
  if (!place->Known) place->Why = v.Target + " covers no folder";
  return 0;
}

bool RemountVolume(const TLinuxVolume& v, const TMountPlace& place, std::string* error,
                   int* syscallErrno) {
  int ignored = 0;
  if (!syscallErrno) syscallErrno = &ignored;
  const auto leave = [&](int errorNumber, const std::string& why) {
    *syscallErrno = errorNumber != 0 ? errorNumber : EPERM;
    *error = "left unmounted: " + why;
    return false;
  };
  if (!place.Known) return leave(0, place.Why);
  const TFd parent(OpenPath(AT_FDCWD, ParentOf(v.Target), O_DIRECTORY, RESOLVE_NO_SYMLINKS));
  if (!parent.Ok()) return leave(errno, Why(errno, v.Target));
  // The last step must neither follow a link nor enter another mount.
  const TFd folder(OpenPath(parent.Get(), NameOf(v.Target), O_DIRECTORY | O_NOFOLLOW,
                            RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV));
  if (!folder.Ok()) return leave(errno, Why(errno, v.Target));
  struct stat st {};
  if (::fstat(folder.Get(), &st) != 0) return leave(errno, Why(errno, v.Target));
  if (st.st_dev != place.Dev || st.st_ino != place.Ino)
    return leave(ESTALE, v.Target + " is no longer the folder it was mounted on");
  TFd mount = NewMount(v, true, error, syscallErrno);
  if (!mount.Ok() && *syscallErrno != ENOSYS) {
    std::string second;
    int secondErrno = 0;
    mount = NewMount(v, false, &second, &secondErrno);
  }
  if (!mount.Ok()) return leave(*syscallErrno, *error);
  if (::move_mount(mount.Get(), "", folder.Get(), "",
                   MOVE_MOUNT_F_EMPTY_PATH | MOVE_MOUNT_T_EMPTY_PATH) != 0) {
    return leave(errno, Why(errno, v.Target));
  }
  error->clear();
  *syscallErrno = 0;
  return true;
}

}  // namespace quarnel
