#include "base/System.h"

#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <vector>

namespace quarnel {

namespace {
volatile sig_atomic_t stopSignal = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};
bool catching = false;

extern "C" void OnStopSignal(int) { stopSignal = 1; }

struct TInvokingUser {
  uid_t Uid = 0;
  gid_t Gid = 0;
  std::string Home;
  std::vector<gid_t> Groups;  // the primary group and the supplementary ones
};

std::vector<gid_t> GroupsOf(const char* name, gid_t primary) {
  int count = 32;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  while (::getgrouplist(name, primary, groups.data(), &count) < 0) {
    if (count <= static_cast<int>(groups.size())) count = static_cast<int>(groups.size()) * 2;
    if (count > 65536) return {primary};
    groups.resize(static_cast<size_t>(count));
  }
  groups.resize(static_cast<size_t>(count));
  return groups;
}

// The user who had pkexec start this program as root. Only while running as
// root: otherwise PKEXEC_UID is nobody's business.
bool InvokingUser(TInvokingUser* user) {
  if (::geteuid() != 0) return false;
  const char* text = std::getenv("PKEXEC_UID");
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long uid = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0' || uid == 0) return false;
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      !found) {
    return false;
  }
  user->Uid = found->pw_uid;
  user->Gid = found->pw_gid;
  user->Home = found->pw_dir ? found->pw_dir : "";
  user->Groups = GroupsOf(found->pw_name, found->pw_gid);
  return true;
}
}  // namespace

std::string GetAppDataFolder() {
  // pkexec leaves none of the user's environment: the folder is found from
  // the user's home.
  if (TInvokingUser user; InvokingUser(&user)) {
    std::string home = user.Home;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home.empty() || home.front() != '/' || home == "/") return {};
    return home + "/.local/share";
  }
  // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder;
  if (data && data[0] == '/') {
    folder = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::string(home) + "/.local/share";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool StartedOnBehalfOfUser() {
  // Any PKEXEC_UID but root's own counts, also one that names no user.
  const char* text = std::getenv("PKEXEC_UID");
  return ::geteuid() == 0 && text && *text && std::string(text) != "0";
}

bool IsInvokingUsersPrivateFolder(const std::string& path) {
  TInvokingUser user;
  struct stat st {};
  return !path.empty() && path.front() == '/' && InvokingUser(&user) &&
         ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == user.Uid &&
         (st.st_mode & 077) == 0;
}

bool StartAsInvokingUser(const std::vector<std::string>& command) {
  TInvokingUser user;
  if (command.empty() || !InvokingUser(&user)) return false;
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string home = "HOME=" + user.Home;
  // Everything a child may need is prepared before the fork.
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return false;
  }
  if (child == 0) {
    // The grandchild runs the program, detached; the child ends at once.
    ::close(ready[0]);
    char failed = 1;
    const pid_t grandchild = ::setsid() < 0 ? -1 : ::fork();
    if (grandchild != 0) {
      if (grandchild < 0 && ::write(ready[1], &failed, 1) < 0) ::_exit(127);
      ::_exit(0);
    }
    if (::setgroups(user.Groups.size(), user.Groups.data()) == 0 && ::setgid(user.Gid) == 0 &&
        ::setuid(user.Uid) == 0 && ::setuid(0) != 0) {
      ::putenv(const_cast<char*>(home.c_str()));
      ::execvp(argv[0], argv.data());
    }
    // Not started: the parent hears it through the pipe, which exec closes.
    if (::write(ready[1], &failed, 1) < 0) ::_exit(127);
    ::_exit(127);
  }
  ::close(ready[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  char failed = 0;
  const ssize_t n = ::read(ready[0], &failed, 1);
  ::close(ready[0]);
  return n == 0;
}

bool RunAsInvokingUser(const std::function<bool()>& work) {
  TInvokingUser user;
  if (!InvokingUser(&user)) return work();
  // As the user, not as root: root would follow a link the user laid to any
  // file of the system, and would leave files the user cannot change.
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
  if (count < 0 || ::getgroups(count, groups.data()) < 0) return false;
  const gid_t rootGid = ::getegid();
  // The groups the user has at a login: files shared through a group are the
  // user's too.
  if (::setgroups(user.Groups.size(), user.Groups.data()) != 0) return false;
  if (::setegid(user.Gid) != 0 || ::seteuid(user.Uid) != 0) {
    if (::setegid(rootGid) != 0 || ::setgroups(groups.size(), groups.data()) != 0) std::abort();
    return false;
  }
  bool done = false;
  try {
    done = work();
  } catch (...) {
  }
  // A process left half as the user would go on with the wrong rights.
  if (::seteuid(0) != 0 || ::setegid(rootGid) != 0 ||
      ::setgroups(groups.size(), groups.data()) != 0) {
    std::abort();
  }
  return done;
}

namespace {
std::string Reason(int error) { return std::strerror(error); }

// Why `name` in `folder` cannot be taken: a link or not a regular file says so.
std::string WhyNot(int folder, const char* name, int error) {
  struct stat st {};
  if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    if (error == EEXIST) return "it exists already";
  }
  return Reason(error);
}
}  // namespace

TKeptFile::~TKeptFile() { Close(); }

bool TKeptFile::Open(const std::string& path, bool replace, std::string* error) {
  Close();
  created_ = written_ = existed_ = false;
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name_.empty() || name_ == "." || name_ == "..") {
    *error = "not a file name";
    return false;
  }
  const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    *error = Reason(errno);
    return false;
  }
  // O_NONBLOCK: a FIFO with no reader fails at once instead of waiting.
  constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = ::openat(dir, name_.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
  created_ = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    *error = WhyNot(dir, name_.c_str(), EEXIST);
    existed_ = *error == "it exists already";
    if (!existed_ || !replace) {
      ::close(dir);
      return false;
    }
    fd = ::openat(dir, name_.c_str(), kFlags);
  }
  if (fd < 0) {
    *error = WhyNot(dir, name_.c_str(), errno);
    ::close(dir);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "it is not a regular file";
    ::close(fd);
    ::close(dir);
    return false;
  }
  // Another name of the same file would be overwritten with it.
  if (!created_ && st.st_nlink != 1) {
    *error = "it has other names (hard links): only a file with one name is replaced";
    ::close(fd);
    ::close(dir);
    return false;
  }
  handle_ = fd;
  folder_ = dir;
  path_ = path;
  return true;
}

bool TKeptFile::Replace(const std::string& text, std::string* error) {
  const int fd = static_cast<int>(handle_);
  if (fd < 0) {
    *error = Reason(EBADF);
    return false;
  }
  written_ = true;
  if (::ftruncate(fd, 0) != 0) {
    *error = Reason(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n =
        ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = Reason(n < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    *error = Reason(errno);
    return false;
  }
  return true;
}

void TKeptFile::Discard() {
  if (handle_ != -1 && created_ && !written_) {
    struct stat mine {
    }, named{};
    // Only our own file goes, even if its name was given to another meanwhile.
    if (::fstat(static_cast<int>(handle_), &mine) == 0 &&
        ::fstatat(static_cast<int>(folder_), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
      ::unlinkat(static_cast<int>(folder_), name_.c_str(), 0);
    }
  }
  Close();
}

void TKeptFile::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  if (folder_ != -1) ::close(static_cast<int>(folder_));
  handle_ = folder_ = -1;
}

namespace {
// Reads what is there by the file's size, not by the limit: a small file
// takes a small buffer. One byte more is asked for than the file had, so a
// file that grew meanwhile is read on, and refused past the limit.
bool ReadOpenFile(int fd, size_t size, size_t limit, std::string* bytes, std::string* error) {
  bytes->assign(std::min(size, limit) + 1, '\0');
  size_t done = 0;
  for (;;) {
    if (done == bytes->size()) {
      if (done > limit) break;
      bytes->resize(std::min(done * 2, limit + 1));
    }
    const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Reason(errno);
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > limit) {
    *error = "it is larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  bytes->resize(done);
  return true;
}

bool ReadRegularFile(const std::string& path, size_t limit, bool ownerOnly, std::string* content,
                     std::string* error) {
  content->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ELOOP ? "it is a symbolic link" : Reason(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) *error = "it is not a regular file";
  if (ok && static_cast<uint64_t>(st.st_size) > limit) {
    ok = false;
    *error = "it is larger than " + std::to_string(limit) + " bytes";
  }
  // As ssh refuses such a key: whoever else may read it holds the key too.
  if (ok && ownerOnly && (st.st_mode & 077) != 0) {
    ok = false;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    *error = std::string("others than its owner may read or write it (mode ") + mode +
             "); make it its owner's alone with: chmod 600 " + path;
  }
  std::string bytes;
  if (ok) ok = ReadOpenFile(fd, static_cast<size_t>(st.st_size), limit, &bytes, error);
  ::close(fd);
  if (ok) *content = std::move(bytes);
  return ok;
}
}  // namespace

bool ReadSmallFile(const std::string& path, size_t limit, std::string* content,
                   std::string* error) {
  return ReadRegularFile(path, limit, false, content, error);
}

bool ReadPrivateFile(const std::string& path, size_t limit, std::string* content,
                     std::string* error) {
  return ReadRegularFile(path, limit, true, content, error);
}

std::string AdminRightsHint() {
  return "请从应用程序菜单启动 Quarnel（将询问管理员密码），或以 root 身份运行";
}

void CatchStopSignals(bool on) {
  if (on == catching) return;
  if (on) {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    // A batch's member starts with them held (TChildProcess::Start); one
    // that came meanwhile is delivered now, to the handler.
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
  } else {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
  }
  catching = on;
}

bool TakeStopSignal() {
  if (stopSignal == 0) return false;
  stopSignal = 0;
  return true;
}

TChildProcess::~TChildProcess() {
  if (process_ != -1) Wait();
  if (pipe_ != -1) ::close(static_cast<int>(pipe_));
}

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                          std::string* error) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // posix_spawn, not fork: the caller has threads, and a fork copies none of
  // them but all of their locks.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
  // The child starts with the default action for the stop signals, whatever
  // this program catches now; a handler is never inherited anyway.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  // Interrupts are held until the child catches them (CatchStopSignals): one
  // typed while it starts neither ends it nor is lost.
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &held);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int result =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (result != 0) {
    ::close(ends[0]);
    *error = std::strerror(result);
    return false;
  }
  process_ = pid;
  pipe_ = ends[0];
  ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  return true;
}

int64_t TChildProcess::ReadAvailable(char* buffer, size_t size) {
  if (pipe_ == -1) return -1;
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(pipe_), buffer, size);
    if (n > 0) return n;
    if (n == 0) return -1;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    if (errno != EINTR) return -1;
  }
}

void PauseMs(int milliseconds) {
  struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void TChildProcess::Interrupt() {
  if (process_ != -1) ::kill(static_cast<pid_t>(process_), SIGINT);
}

int TChildProcess::Wait() {
  if (process_ == -1) return -1;
  int status = 0;
  pid_t ended;
  do {
    ended = ::waitpid(static_cast<pid_t>(process_), &status, 0);
  } while (ended < 0 && errno == EINTR);
  process_ = -1;
  if (ended < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::string OwnProgramFile() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
  path.resize(static_cast<size_t>(n));
  return path;
}

void IgnoreBrokenPipes() { ::signal(SIGPIPE, SIG_IGN); }

void EndProcessAsCrash() {
  ::signal(SIGKILL, SIG_DFL);
  ::raise(SIGKILL);
  ::_exit(137);  // not reached: SIGKILL cannot be caught
}

bool StdInIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool StdOutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }
bool StdErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::locale RegionalLocale() { return std::locale(""); }

std::string RegionalDateTime(const std::tm& local) {
  std::ostringstream out;
  out.imbue(std::locale());
  out << std::put_time(&local, "%x %X");
  return out.str();
}

}  // namespace quarnel
