#include <gtest/gtest.h>

#include "launcher/Launcher.h"

namespace quarnel {
namespace {

using Strings = std::vector<std::string>;

TLaunchInput User(std::map<std::string, std::string> env, Strings args = {}) {
  return {"/usr/bin/quarnel", "/usr/bin/pkexec", false, std::move(env), std::move(args)};
}

TEST(Launcher, UserGoesThroughPkexecWithTheSessionsDisplay) {
  const TLaunchPlan plan = PlanLaunch(User({{"DISPLAY", ":0"},
                                            {"XAUTHORITY", "/run/user/1000/xauth_AB"},
                                            {"WAYLAND_DISPLAY", "wayland-0"},
                                            {"XDG_RUNTIME_DIR", "/run/user/1000"},
                                            {"HOME", "/home/ann"},
                                            {"LD_PRELOAD", "/tmp/evil.so"}},
                                           {"--debug", "--simulate"}));
  EXPECT_EQ(plan.Command,
            (Strings{"/usr/bin/pkexec", "--disable-internal-agent", "/usr/bin/quarnel", "--debug",
                     "--simulate", "--session-env=DISPLAY=:0",
                     "--session-env=XAUTHORITY=/run/user/1000/xauth_AB",
                     "--session-env=WAYLAND_DISPLAY=/run/user/1000/wayland-0",
                     "--session-env=XDG_RUNTIME_DIR=/run/user/1000"}));
  EXPECT_TRUE(plan.Message.empty());

  // X without XAUTHORITY: Xlib's default in the user's home, not root's.
  EXPECT_EQ(
      PlanLaunch(User({{"DISPLAY", ":1"}, {"HOME", "/home/ann"}})).Command,
      (Strings{"/usr/bin/pkexec", "--disable-internal-agent", "/usr/bin/quarnel",
               "--session-env=DISPLAY=:1", "--session-env=XAUTHORITY=/home/ann/.Xauthority"}));
  EXPECT_EQ(PlanLaunch(User({})).Command,
            (Strings{"/usr/bin/pkexec", "--disable-internal-agent", "/usr/bin/quarnel"}));
}

TEST(Launcher, RootRunsTheProgramItselfAndNoPkexecRunsNothing) {
  TLaunchInput root = User({{"DISPLAY", ":0"}}, {"--debug"});
  root.Root = true;
  EXPECT_EQ(PlanLaunch(root).Command, (Strings{"/usr/bin/quarnel", "--debug"}));

  TLaunchInput none = User({{"DISPLAY", ":0"}});
  none.Pkexec.clear();
  const TLaunchPlan plan = PlanLaunch(none);
  EXPECT_TRUE(plan.Command.empty());
  EXPECT_NE(plan.Message.find("pkexec was not found"), std::string::npos);
  EXPECT_NE(plan.Message.find("/usr/bin/quarnel as root"), std::string::npos);
}

TEST(Launcher, ProgramTakesOnlyTheSessionVariables) {
  Strings args = {"--debug",
                  "--session-env=DISPLAY=:0",
                  "--simulate",
                  "--session-env=LD_PRELOAD=/tmp/evil.so",
                  "--session-env=XAUTHORITY=/a=b",
                  "--session-env=broken"};
  const auto taken = TakeSessionEnvironment(&args);
  EXPECT_EQ(args, (Strings{"--debug", "--simulate"}));
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], (std::pair<std::string, std::string>{"DISPLAY", ":0"}));
  EXPECT_EQ(taken[1], (std::pair<std::string, std::string>{"XAUTHORITY", "/a=b"}));
}

}  // namespace
}  // namespace quarnel
