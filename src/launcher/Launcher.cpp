#include "launcher/Launcher.h"

#include <algorithm>

namespace quarnel {

const std::vector<std::string> kSessionVariables = {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY",
                                                    "XDG_RUNTIME_DIR"};

namespace {

std::string Get(const std::map<std::string, std::string>& env, const std::string& name) {
  const auto it = env.find(name);
  return it == env.end() ? std::string() : it->second;
}

// The values the root-owned program needs to reach the user's display: root
// has another home and runtime folder, so the defaults that the user's
// libraries would fill in are made explicit.
std::vector<std::pair<std::string, std::string>> SessionValues(
    const std::map<std::string, std::string>& env) {
  std::vector<std::pair<std::string, std::string>> values;
  const std::string display = Get(env, "DISPLAY");
  std::string xauthority = Get(env, "XAUTHORITY");
  const std::string home = Get(env, "HOME");
  if (!display.empty() && xauthority.empty() && !home.empty()) xauthority = home + "/.Xauthority";
  std::string wayland = Get(env, "WAYLAND_DISPLAY");
  const std::string runtime = Get(env, "XDG_RUNTIME_DIR");
  if (!wayland.empty() && wayland.front() != '/' && !runtime.empty()) {
    wayland = runtime + "/" + wayland;
  }
  for (const auto& [name, value] : {std::pair{"DISPLAY", display},
                                    {"XAUTHORITY", xauthority},
                                    {"WAYLAND_DISPLAY", wayland},
                                    {"XDG_RUNTIME_DIR", runtime}}) {
    if (!value.empty()) values.emplace_back(name, value);
  }
  return values;
}

}  // namespace

TLaunchPlan PlanLaunch(const TLaunchInput& input) {
  TLaunchPlan plan;
  if (input.Root) {
    plan.Command.push_back(input.Program);
    plan.Command.insert(plan.Command.end(), input.Arguments.begin(), input.Arguments.end());
    return plan;
  }
  if (input.Pkexec.empty()) {
    plan.Message =
        "quarnel-launcher: pkexec was not found, so Quarnel cannot ask for administrator "
        "rights. Install the package pkexec, or start " +
        input.Program + " as root.";
    return plan;
  }
  // The program's own path, not a wrapper: the polkit action is tied to it.
  plan.Command = {input.Pkexec, "--disable-internal-agent", input.Program};
  // The user's arguments first: --debug counts only as the first one.
  plan.Command.insert(plan.Command.end(), input.Arguments.begin(), input.Arguments.end());
  for (const auto& [name, value] : SessionValues(input.Environment)) {
    plan.Command.push_back(std::string(kSessionEnvOption) + name + "=" + value);
  }
  return plan;
}

std::vector<std::pair<std::string, std::string>> TakeSessionEnvironment(
    std::vector<std::string>* arguments) {
  std::vector<std::pair<std::string, std::string>> taken;
  const std::string option = kSessionEnvOption;
  auto kept = arguments->begin();
  for (auto it = arguments->begin(); it != arguments->end(); ++it) {
    if (it->rfind(option, 0) != 0) {
      if (kept != it) *kept = std::move(*it);
      ++kept;
      continue;
    }
    const std::string pair = it->substr(option.size());
    const size_t equals = pair.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = pair.substr(0, equals);
    if (std::find(kSessionVariables.begin(), kSessionVariables.end(), name) !=
        kSessionVariables.end()) {
      taken.emplace_back(name, pair.substr(equals + 1));
    }
  }
  arguments->erase(kept, arguments->end());
  return taken;
}

}  // namespace quarnel
