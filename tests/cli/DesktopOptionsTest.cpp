#include <gtest/gtest.h>

#include "frontend/CommandLine.h"

namespace quarnel {
namespace {

TEST(DesktopOptions, TakesItsOwnOptionsAndRefusesEverythingElse) {
  TDesktopOptions options;
  std::string error;
  ASSERT_TRUE(ParseDesktopOptions({"--DEBUG", "--simulate=/tmp/m.json", "--devices=/dev/loop3,"},
                                  false, &options, &error));
  EXPECT_EQ(options.Host.SimulateFile, "/tmp/m.json");
  EXPECT_TRUE(options.Host.Simulate);
  EXPECT_EQ(options.Host.Devices, std::vector<std::string>{"/dev/loop3"});
  EXPECT_TRUE(options.Host.DevicesGiven);

  // --debug is the program's own option wherever it stands.
  TDesktopOptions later;
  ASSERT_TRUE(ParseDesktopOptions({"--simulate", "--debug"}, false, &later, &error));

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-platformpluginpath", "/tmp/x", "-platform", "x"},
                                             {"--simulate", "-style=fusion"},
                                             {"list"},
                                             {"--quick"},
                                             {"--simulate="}}) {
    TDesktopOptions refused;
    error.clear();
    EXPECT_FALSE(ParseDesktopOptions(args, false, &refused, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(DesktopOptions, OnAUsersBehalfOnlyTheDemoMachineIsSimulated) {
  TDesktopOptions options;
  std::string error;
  EXPECT_TRUE(ParseDesktopOptions({"--simulate"}, true, &options, &error));
  EXPECT_TRUE(ParseDesktopOptions({"--devices=/dev/loop3"}, true, &options, &error));
  EXPECT_FALSE(ParseDesktopOptions({"--simulate=/root/machine.json"}, true, &options, &error));
  EXPECT_NE(error.find("--simulate=FILE is refused"), std::string::npos);
}

}  // namespace
}  // namespace quarnel
