// The menu entry's launcher: it runs the desktop program with administrator
// rights through pkexec and carries the session's display along, because
// pkexec starts the program with a clean environment.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quarnel {

/// The variables a window needs to reach the user's display server.
extern const std::vector<std::string> kSessionVariables;

/// The desktop program's option that carries one of them: --session-env=NAME=VALUE.
inline constexpr const char* kSessionEnvOption = "--session-env=";

struct TLaunchInput {
  std::string Program;                             ///< the installed desktop program
  std::string Pkexec;                              ///< pkexec's path; empty when not found
  bool Root = false;                               ///< the launcher already runs as root
  std::map<std::string, std::string> Environment;  ///< the launcher's environment
  std::vector<std::string> Arguments;              ///< passed on to the program
};

struct TLaunchPlan {
  std::vector<std::string> Command;  ///< program and arguments; empty: run nothing
  std::string Message;               ///< a line for standard error; empty: none
};

/// What the launcher runs for `input`. Pure: reads nothing but its argument.
TLaunchPlan PlanLaunch(const TLaunchInput& input);

/// Removes every --session-env=NAME=VALUE from `arguments` and returns the
/// pairs whose NAME is one of kSessionVariables (the others are dropped).
std::vector<std::pair<std::string, std::string>> TakeSessionEnvironment(
    std::vector<std::string>* arguments);

}  // namespace quarnel
