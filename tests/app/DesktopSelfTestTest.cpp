// The S.M.A.R.T. page's self-test against simulated drives: followed to its
// end or its failure, stopped by its button, left running by the window's
// close, and refused by drives that offer none.
#include <gtest/gtest.h>

#include <functional>

#include "app/Desktop.h"
#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "reports/SelfTest.h"
#include "support/QuietMainView.h"
#include "support/SimSupport.h"
#include "ui/Catalogue.h"

namespace quarnel {
namespace {

struct TRowMain : test::TQuietMainView {
  void ShowSelfTestRow(const TSelfTestRow& row) override { Rows.push_back(row); }
  std::vector<TSelfTestRow> Rows;
};

// The message pump runs `OnPump` once, at its `At`-th call.
struct TPumpSeam : TUiSeam {
  void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
  void ProcessMessages() override {
    if (++Calls == At && OnPump) OnPump();
  }
  std::function<void()> OnPump;
  int Calls = 0, At = 0;
};

// The NVMe drive of the captured controller.
std::string NvmeDrive(int number) {
  const std::string dir = "nvme/QEMU_NVMe_Ctrl/";
  return R"({"number": )" + std::to_string(number) +
         R"(, "length": 1073741824, "bus_type": 17, "product": "QEMU NVMe Ctrl",
            "nvme_identify_ctrl_file": ")" +
         dir + R"(id-ctrl.bin", "nvme_identify_ns_file": ")" + dir +
         R"(id-ns.bin", "nvme_health_file": ")" + dir + R"(smart-log.bin"})";
}

class DesktopSelfTest : public ::testing::Test {
 protected:
  SimHost& Machine(const std::vector<std::string>& drives) {
    SimHost& host = test::UseSimHost(test::SimMachine(drives));
    SetUi(&seam_);
    ScanDevices();
    return host;
  }
  // The drive at `row` of the table, opened as the chooser's choice is.
  void Choose(int64_t row) {
    if (DeviceHandle != kInvalidHandle) GetHost().CloseHandle(DeviceHandle);
    DeviceHandle = kInvalidHandle;
    SelectedDevice = row + 1;  // the table counts from 1
    ASSERT_TRUE(OpenSelectedDevice());
    main_.Rows.clear();
    seam_.Calls = 0;
  }
  bool SmartPaneHas(const std::string& text) const {
    for (const std::string& line : Log_Smart.Lines()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  void TearDown() override {
    if (DeviceHandle != kInvalidHandle) GetHost().CloseHandle(DeviceHandle);
    DeviceHandle = kInvalidHandle;
    SetUi(nullptr);
    ResetMainState();
    Log_Smart.Reset();
  }
  TRowMain main_;
  TPumpSeam seam_;
};

TEST_F(DesktopSelfTest, FollowedToItsEndOrItsFailureWithTheLogAfterIt) {
  SimHost& host =
      Machine({test::SimDrive(0, 1000000, true, R"(, "self_test_seconds": 5)"),
               test::SimDrive(1, 1000000, true,
                              R"(, "self_test_result": {"status": "read_failure", "lba": 12345})"),
               NvmeDrive(2)});
  host.Drive(2)->NvmeController[256] |= 0x10;  // offers Device Self-test

  Choose(0);
  SelfTestButtonClicked(main_, 0);
  ASSERT_GE(main_.Rows.size(), 3u);
  EXPECT_TRUE(main_.Rows[0].Running);
  EXPECT_EQ(main_.Rows[0].ButtonCaption, mainwindow::kSelfTestAbortCaption);
  bool sawProgress = false;
  for (const TSelfTestRow& row : main_.Rows) {
    sawProgress = sawProgress || (row.Running && row.Percent > 0 && row.Percent < 100 &&
                                  row.Text.find("剩余") != std::string::npos);
  }
  EXPECT_TRUE(sawProgress);
  const TSelfTestRow& end = main_.Rows.back();
  EXPECT_FALSE(end.Running);
  EXPECT_EQ(end.ButtonCaption, mainwindow::kSelfTestCaption);
  EXPECT_NE(end.Text.find("完成, 无错误"), std::string::npos) << end.Text;
  EXPECT_TRUE(SmartPaneHas("自检日志 (最新在前):"));
  EXPECT_TRUE(Ui().ControlEnabled(TFormatControl::btGetSmart));

  Choose(1);
  SelfTestButtonClicked(main_, 1);
  EXPECT_NE(main_.Rows.back().Text.find("首个错误 LBA 12345"), std::string::npos)
      << main_.Rows.back().Text;
  EXPECT_NE(main_.Rows.back().Text.find("扩展测试"), std::string::npos);

  Choose(2);
  SelfTestButtonClicked(main_, 0);
  EXPECT_NE(main_.Rows.back().Text.find("完成, 无错误"), std::string::npos)
      << main_.Rows.back().Text;
}

TEST_F(DesktopSelfTest, TheButtonAgainStopsItAndAClosePutsOffUntilTheFollowingEnds) {
  SimHost& host = Machine({test::SimDrive(0, 1000000, true, R"(, "self_test_seconds": 600)")});
  Choose(0);
  seam_.At = 20;  // some seconds into the test
  seam_.OnPump = [&] { SelfTestButtonClicked(main_, 0); };
  SelfTestButtonClicked(main_, 1);
  EXPECT_FALSE(main_.Rows.back().Running);
  EXPECT_NE(main_.Rows.back().Text.find("被主机中止"), std::string::npos) << main_.Rows.back().Text;
  EXPECT_EQ(host.Drive(0)->SelfTest.Commands, 2);

  // A close while it is followed: the test goes on, the window closes after.
  Choose(0);
  bool closedAtOnce = true;
  seam_.At = 20;
  seam_.OnPump = [&] { closedAtOnce = MainWindowCloseRequested(); };
  SelfTestButtonClicked(main_, 0);
  EXPECT_FALSE(closedAtOnce);
  EXPECT_TRUE(main_.Closed);
  EXPECT_EQ(main_.Rows.back().Text, mainwindow::kSelfTestNotFollowedText);
  TSelfTestProgress p;
  ASSERT_TRUE(ReadSelfTestProgress(DeviceHandle, DeviceTable[1].IdentifyData, &p));
  EXPECT_TRUE(p.Running);
}

TEST_F(DesktopSelfTest, DrivesThatOfferNoneOrNotTheKindSaySo) {
  SimHost& host = Machine({test::SimDrive(0, 1000000), NvmeDrive(1)});
  host.Drive(0)->Smart[367] &= static_cast<uint8_t>(~0x30);
  host.Drive(1)->NvmeController[256] |= 0x10;
  Choose(0);
  SelfTestButtonClicked(main_, 0);
  ASSERT_EQ(main_.Rows.size(), 1u);
  EXPECT_EQ(main_.Rows[0].Text, mainwindow::kSelfTestNoneOfferedText);
  EXPECT_FALSE(main_.Rows[0].Running);
  Choose(1);
  SelfTestButtonClicked(main_, 2);  // NVMe has no conveyance test
  ASSERT_EQ(main_.Rows.size(), 1u);
  EXPECT_EQ(main_.Rows[0].Text, std::string(mainwindow::kSelfTestKindNotOfferedText) + "传输测试");
  EXPECT_EQ(host.Drive(0)->SelfTest.Commands + host.Drive(1)->SelfTest.Commands, 0);
  EXPECT_TRUE(SmartPaneHas(mainwindow::kSelfTestNoneOfferedText));
}

}  // namespace
}  // namespace quarnel
