#include <gtest/gtest.h>

#include <limits>

#include "base/System.h"
#include "devices/DeviceScan.h"
#include "devices/DriveChoose.h"
#include "support/TestSupport.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

TEST(DriveListRow, CapacityLeftEmptyWhenTheProductOverflows) {
  TDeviceTable entry;
  entry.IdentifyData.Model = "  Big  ";
  entry.IdentifyData.LBA = std::numeric_limits<int64_t>::max() / 256;
  entry.IdentifyData.SectorSize = 512;
  const TDriveListRow row = DriveListRow(entry);
  EXPECT_EQ(row[1], "Big");
  EXPECT_EQ(row[4], std::to_string(entry.IdentifyData.LBA));
  EXPECT_EQ(row[5], "");
  entry.IdentifyData.SectorSize = 128;  // just fits
  EXPECT_NE(DriveListRow(entry)[5], "");
}

TEST(AcceptDriveChoice, RowsOutsideTheTableAreNoChoice) {
  test::UseSimHost(R"({"drives": [{"number": 0, "length": 33553920}]})");
  ResetDriveChoose();
  DeviceCount = 1;
  DeviceTable[1].IdentifyData.LBA = 65535;
  EXPECT_FALSE(AcceptDriveChoice(-1));
  EXPECT_FALSE(AcceptDriveChoice(1));
  EXPECT_FALSE(DeviceChosen);
  EXPECT_TRUE(AcceptDriveChoice(0));
  EXPECT_EQ(SelectedDevice, 1);
  ChooserClosed();
  EXPECT_FALSE(ProgramEndRequested());
}

// Drives refused with "access denied" mean missing administrator rights: the
// status line says so and how to get them, and a message box once per run.
TEST(ChooserShown, DrivesRefusedForWantOfRightsAreExplainedOnce) {
  test::UseSimHost(R"({"drives": [{"number": 0, "length": 33553920, "faults": {"open": 5}},
                                  {"number": 1, "length": 33553920, "faults": {"open": 32}}]})");
  ResetDriveChoose();
  struct TCountingUi : TUiSeam {
    int Shown = 0;
    std::string Text;
    void ShowMessage(const std::string& text, const std::string&, TMessageIcon) override {
      ++Shown;
      Text = text;
    }
  } ui;
  SetUi(&ui);
  ScanDevices();
  EXPECT_EQ(ChooserStatusText, "找到磁盘: 0    需要管理员权限才能打开磁盘：" + AdminRightsHint());
  ChooserShown();
  ChooserShown();
  EXPECT_EQ(ui.Shown, 1);
  EXPECT_EQ(ui.Text, "需要管理员权限才能打开磁盘。\n\n" + AdminRightsHint() + "。");

  // Held by another program (sharing violation) is no question of rights.
  test::UseSimHost(R"({"drives": [{"number": 1, "length": 33553920, "faults": {"open": 32}}]})");
  SetUi(&ui);
  ScanDevices();
  EXPECT_EQ(ChooserStatusText, "找到磁盘: 0");
  ChooserShown();
  EXPECT_EQ(ui.Shown, 1);
  SetUi(nullptr);
}

TEST(Chooser, OffersTheLastRowAndEscEndsTheProgram) {
  test::UseSimHost(R"({"drives": []})");
  DeviceCount = 0;
  EXPECT_EQ(InitialDriveRow(), -1);
  DeviceCount = 3;
  EXPECT_EQ(InitialDriveRow(), 2);
  DriveListEscapePressed();
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(ProgramExitCode(), 0);
}

}  // namespace
}  // namespace quarnel
