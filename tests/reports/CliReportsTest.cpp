#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MainState.h"
#include "base/Logging.h"
#include "cli/CliApp.h"
#include "devices/DeviceTable.h"
#include "host/HostConstants.h"
#include "support/TestSupport.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

const char* const kFolder = "SAMSUNG_HD501LJ--CR100-12";

std::string WriteDescription(const test::TTempFolder& folder, const std::string& drives) {
  const std::filesystem::path file = folder / "machine.json";
  std::ofstream(file) << R"({"drives": [)" << drives << "]}";
  return file.string();
}

std::string Drive(int number, int64_t length) {
  const std::string dir = test::DriveDataDir(kFolder);
  return R"({"number": )" + std::to_string(number) + R"(, "length": )" + std::to_string(length) +
         R"(, "bus_type": 3, "product": "SAMSUNG HD501LJ", "revision": "CR100-12",
            "identify_file": ")" +
         dir + R"(/identify.bin", "smart_file": ")" + dir + R"(/smart.bin"})";
}

TEST(CliReports, DetailsAndSmartPrintTheReportsOfTheChosenDrive) {
  const test::TTempFolder folder("cli-reports");
  const std::string file = WriteDescription(folder, Drive(0, 500107862016));
  std::string out, err;
  const std::string cli = std::string(QUARNEL_CLI_PATH) + " --simulate=" + file;
  ASSERT_EQ(test::RunCommand(cli + " details 1", &out, &err), 0) << err;
  EXPECT_NE(out.find("\n设备详细信息: [1]  SAMSUNG HD501LJ    CR100-12    [500.1 GB]"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\n型号: SAMSUNG HD501LJ\n固件修订: CR100-12\n序列号: S0MUJ1NQ110060\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\n最大队列深度32\n"), std::string::npos);
  ASSERT_EQ(test::RunCommand(cli + " smart 1", &out, &err), 0) << err;
  EXPECT_NE(out.find("\nSMART 数据: [1]  SAMSUNG HD501LJ"), std::string::npos) << out;
  EXPECT_NE(out.find("\n 194  C2  HDA 温度   "), std::string::npos) << out;
}

TEST(CliReports, RefusesSmallDrivesAndNumbersOutsideTheList) {
  const test::TTempFolder folder("cli-reports");
  const std::string file =
      WriteDescription(folder, Drive(0, 65534 * 512) + ", " + Drive(1, 65535 * 512));
  const std::string cli = std::string(QUARNEL_CLI_PATH) + " --simulate=" + file;
  std::string out, err;
  EXPECT_NE(test::RunCommand(cli + " details 1", &out, &err), 0);
  EXPECT_NE(err.find("Cannot access this device: This device cannot be accessed because it is "
                     "smaller than 65535 sectors.  "),
            std::string::npos)
      << err;
  EXPECT_EQ(test::RunCommand(cli + " details 2", &out, &err), 0) << err;
  for (const char* n : {"3", "0", "x", "1x"}) {
    EXPECT_NE(test::RunCommand(cli + " smart " + n, &out, &err), 0) << n;
    EXPECT_NE(err.find("no drive"), std::string::npos) << err;
  }
}

TEST(CliReports, ADriveInUseIsNotOpenedAndTheHandleIsClosedAfterAReport) {
  SimHost& host = test::UseSimHost(R"({"drives": [)" + Drive(0, 500107862016) + "]}");
  // Another reader lets the scan in but not the exclusive open.
  const THandle other =
      host.CreateFileU8(host.DrivePath(0), win::kGENERIC_READ,
                        win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE, win::kOPEN_EXISTING, 0);
  std::ostringstream out, err;
  EXPECT_EQ(CommandDetails({"1"}, out, err), 1);
  EXPECT_EQ(LastMessageText(),
            "错误: 打开设备错误: The process cannot access the file because it is being used by "
            "another process");
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_TRUE(ProgramEndRequested());  // the open failure ends the program
  host.CloseHandle(other);
  ResetUi();  // the next command is a new run of the program
  EXPECT_EQ(CommandSmart({"1"}, out, err), 0);
  EXPECT_EQ(host.OpenHandleCount(), 0u);
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
}

}  // namespace
}  // namespace quarnel
