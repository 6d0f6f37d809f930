// quarnel-launcher: what the menu entry starts (see Launcher.h).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "launcher/Launcher.h"

extern char** environ;

namespace {

// pkexec from PATH only: a copy elsewhere is not what the user's PATH offers.
std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "";
  size_t start = 0;
  while (start <= list.size()) {
    const size_t colon = std::min(list.find(':', start), list.size());
    const std::string dir = list.substr(start, colon - start);
    start = colon + 1;
    if (dir.empty() || dir.front() != '/') continue;
    const std::string candidate = dir + "/" + name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

// The desktop program beside the launcher, wherever the tree was installed:
// the polkit action names its canonical path.
std::string ProgramPath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return QUARNEL_PROGRAM_FROM_LAUNCHER;
  return std::filesystem::weakly_canonical(self.parent_path() / QUARNEL_PROGRAM_FROM_LAUNCHER,
                                           error)
      .string();
}

}  // namespace

int main(int argc, char** argv) {
  quarnel::TLaunchInput input;
  input.Program = ProgramPath();
  input.Pkexec = FindInPath("pkexec");
  input.Root = ::geteuid() == 0;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const size_t equals = entry.find('=');
    if (equals != std::string::npos)
      input.Environment[entry.substr(0, equals)] = entry.substr(equals + 1);
  }
  input.Arguments.assign(argv + 1, argv + argc);
  const quarnel::TLaunchPlan plan = quarnel::PlanLaunch(input);
  if (!plan.Message.empty()) std::cerr << plan.Message << "\n";
  if (plan.Command.empty()) return 1;
  std::vector<char*> args;
  for (const std::string& a : plan.Command) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  std::cerr << "quarnel-launcher: cannot start " << plan.Command[0] << ": " << std::strerror(errno)
            << "\n";
  return 127;
}
