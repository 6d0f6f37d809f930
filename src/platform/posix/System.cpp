#include "base/System.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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
};

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

bool RunAsInvokingUser(const std::function<bool()>& work) {
  TInvokingUser user;
  if (!InvokingUser(&user)) return work();
  // As the user, not as root: root would follow a link the user laid to any
  // file of the system, and would leave files the user cannot change.
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
  if (count < 0 || ::getgroups(count, groups.data()) < 0) return false;
  const gid_t rootGid = ::getegid();
  if (::setgroups(1, &user.Gid) != 0) return false;
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

bool StdInIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool StdErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::locale RegionalLocale() { return std::locale(""); }

std::string RegionalDateTime(const std::tm& local) {
  std::ostringstream out;
  out.imbue(std::locale());
  out << std::put_time(&local, "%x %X");
  return out.str();
}

}  // namespace quarnel
