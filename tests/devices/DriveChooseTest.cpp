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

// The chooser as its window sees it: what it is told to show and to do.
struct TFakeChooser : TChooserView {
  void SetTitles(const std::string&, const std::string&) override {}
  void ShowRows(const std::vector<TDriveListRow>& shown, const std::string& status) override {
    rows = shown.size();
    Status = status;
  }
  void ShowModal() override { ChooserFormShow(*this); }
  void FocusList() override { Focused = true; }
  void SelectRow(int64_t row) override { Selected = row; }
  void EnableContinue(bool enabled) override { Continue = enabled; }
  void CloseChooser() override { Closed = true; }
  size_t rows = 0;
  std::string Status;
  bool Focused = false, Continue = false, Closed = false;
  int64_t Selected = -1;
};

TEST(Chooser, OffersTheLastRowAndContinueFollowsTheSelection) {
  test::UseSimHost(test::SimMachine(
      {test::SimDrive(0, 1 << 20), test::SimDrive(1, 65534), test::SimDrive(2, 1 << 20)}));
  ScanDevices();
  TFakeChooser view;
  EXPECT_FALSE(ChooseDevice(view));
  EXPECT_EQ(view.rows, 3u);
  EXPECT_EQ(view.Status, "找到磁盘: 3");
  EXPECT_TRUE(view.Focused);
  EXPECT_EQ(view.Selected, 2);
  EXPECT_TRUE(view.Continue);

  // A click beside the rows: continue is off, and neither a double click
  // there nor Enter chooses.
  DriveListClick(view, -1);
  EXPECT_FALSE(view.Continue);
  DriveListDblClick(view, -1);
  btContinueClick(view, 0);
  EXPECT_FALSE(DeviceChosen);

  // A too small drive is refused and the chooser stays; a double click on
  // a good row chooses it.
  DriveListClick(view, 1);
  btContinueClick(view, 1);
  EXPECT_FALSE(view.Closed);
  DriveListDblClick(view, 0);
  EXPECT_TRUE(view.Closed);
  EXPECT_TRUE(DeviceChosen);
  EXPECT_EQ(SelectedDevice, 1);
}

TEST(Chooser, WithoutDrivesContinueStaysOffAndEscEndsTheProgram) {
  test::UseSimHost(test::SimMachine({}));
  ScanDevices();
  TFakeChooser view;
  EXPECT_FALSE(ChooseDevice(view));
  EXPECT_EQ(view.Status, "找到磁盘: 0");
  EXPECT_FALSE(view.Continue);
  EXPECT_EQ(view.Selected, -1);
  DriveListKeyEscape(view);
  EXPECT_TRUE(view.Closed);
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(ProgramExitCode(), 0);
}

}  // namespace
}  // namespace quarnel
