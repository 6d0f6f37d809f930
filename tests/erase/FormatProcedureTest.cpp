// The format button's procedure: confirmation, the head of the run, the
// volume locks, the controls, and the close of the main window during a run.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveIdentity.h"
#include "devices/VolumeLocking.h"
#include "erase/EraseRecord.h"
#include "erase/FormatEngine.h"
#include "erase/FormatFixture.h"
#include "app/MainState.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

using Ranges = std::vector<std::pair<int64_t, int64_t>>;

// Drive 0 with C: and E:, drive 1 with D:, and a CD letter that carries
// drive 0's number.
const char* const kTwoDrives = R"({"drives": [
  {"number": 0, "length": 1048576, "product": "FIRST", "serial": "A1",
   "volumes": [{"root": "C:", "partition": 1}, {"root": "E:", "partition": 2}]},
  {"number": 1, "length": 1048576, "product": "SECOND", "serial": "B2",
   "volumes": [{"root": "D:", "partition": 1}]}],
  "volumes": [{"root": "G:", "device_type": 2, "device_number": 0}]})";

const char* const kNoHiddenAreaAnswer =
    "注意: 无法确定驱动器是否隐藏扇区 (HPA/DCO): 驱动器不接受 ATA 命令 (IDENTIFY DEVICE 失败)";

bool Enabled(const TFormatUi& ui, TFormatControl c) { return ui.ControlEnabled(c); }

TEST_F(FormatTest, FullRunLeavesTheHeadTheEngineLinesAndTheReminder) {
  OneDrive(1048576);
  EXPECT_TRUE(Run().FormatSelectedDevice());
  ASSERT_EQ(ui_.Dialogs.size(), 1u);
  const TTaskDialogRequest& d = ui_.Dialogs[0];
  EXPECT_EQ(d.Title, "警告");
  EXPECT_EQ(d.MainInstruction, "所选设备上的所有数据将丢失");
  EXPECT_EQ(d.Content, "你真的确认你要删除 该设备上的所有数据吗?\r\n\r\n" + DeviceDescription);
  EXPECT_EQ(d.Icon, 84);
  EXPECT_EQ(d.Buttons, 10);
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 12u);
  EXPECT_EQ(log[0], " ");
  EXPECT_EQ(log[1], std::string(49, '='));
  EXPECT_EQ(log[2], "Quarnel 4.40; https://www.zelmora.example/");
  EXPECT_EQ(log[3], "低级格式化: " + DeviceDescription);
  EXPECT_EQ(log[4], "设备容量: 2048 扇区");
  EXPECT_EQ(log[5], "锁定设备... ");
  EXPECT_EQ(log[6], "格式化中... ");
  EXPECT_EQ(log[7].rfind("平均速度: ", 0), 0u);
  EXPECT_EQ(log[8], "低级格式完成。");
  // A drive that answers no IDENTIFY may hide sectors nobody can see.
  EXPECT_EQ(log[9], kNoHiddenAreaAnswer);
  EXPECT_EQ(log[10], "");
  EXPECT_EQ(Log_BenchMark.Lines()[10].size(), DateTimeText().size() + 3);  // the stamp alone
  EXPECT_EQ(log[11], "别忘了创建一个新的分区。");
  EXPECT_EQ(ui_.States,
            (std::vector<TProgressState>{TProgressState::pbsNormal, TProgressState::pbsPaused}));
  EXPECT_EQ(Drive().LayoutRefreshes, 1);
  EXPECT_EQ(Drive().Written, (Ranges{{0, 1048576}}));
}

TEST_F(FormatTest, ControlsAreBusyDuringTheRunAndOnlyStopIsLive) {
  OneDrive(1048576);
  bool checked = false;
  ui_.OnPump = [&] {
    checked = true;
    EXPECT_FALSE(Enabled(ui_, TFormatControl::btRunBenchmarks));
    EXPECT_FALSE(Enabled(ui_, TFormatControl::btGetSmart));
    EXPECT_FALSE(Enabled(ui_, TFormatControl::cbQuickWipe));
    EXPECT_TRUE(Enabled(ui_, TFormatControl::btStop));
    EXPECT_TRUE(Run().FormatInProgress());
  };
  Run().FormatSelectedDevice();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(ui_.Page().StopFocused);
  EXPECT_TRUE(Enabled(ui_, TFormatControl::btRunBenchmarks));
  EXPECT_TRUE(Enabled(ui_, TFormatControl::btGetSmart));
  EXPECT_TRUE(Enabled(ui_, TFormatControl::cbQuickWipe));
  EXPECT_FALSE(Enabled(ui_, TFormatControl::btStop));
  EXPECT_FALSE(Run().FormatInProgress());
}

TEST_F(FormatTest, DeclinedConfirmationChangesNothing) {
  for (int answer : {2, 0, 7}) {
    OneDrive(1048576);
    AddLog("before");
    SetControlsEnabled(false);
    ui_.Answer = answer;
    EXPECT_FALSE(Run().FormatSelectedDevice());
    EXPECT_EQ(Log(), std::vector<std::string>{"before"});
    EXPECT_FALSE(Enabled(ui_, TFormatControl::btRunBenchmarks));  // as it was
    EXPECT_TRUE(Drive().Writes.empty());
    EXPECT_EQ(Drive().LayoutRefreshes, 0);
    SetControlsEnabled(true);
  }
}

TEST_F(FormatTest, QuickWipeBoxIsReadWhenTheButtonIsPressed) {
  OneDrive(40LL * 1048576);
  ui_.SetQuickWipe(true);
  ui_.OnPump = [this] { ui_.SetQuickWipe(false); };
  EXPECT_TRUE(Run().FormatSelectedDevice());
  EXPECT_EQ(Drive().Written, (Ranges{{0, 10240000}, {39LL * 1048576, 40LL * 1048576}}));
}

TEST_F(FormatTest, VolumesOfTheDriveAreLockedInOrderAndReleasedAfter) {
  Machine(kTwoDrives);
  DebugMode = true;
  ui_.OnPump = [this] {
    EXPECT_EQ(Run().Locks().LockedVolumeHandles().size(), 2u);
    EXPECT_TRUE(Drive().Claimed);
    for (const TSimVolume& v : host_->Volumes())
      EXPECT_EQ(v.Locked, v.Root == "C:" || v.Root == "E:");
  };
  EXPECT_TRUE(Run().FormatSelectedDevice());
  const std::vector<std::string> log = Log();
  const auto at = [&](const std::string& line) {
    return std::find(log.begin(), log.end(), line) - log.begin();
  };
  EXPECT_LT(at("Locking \\\\.\\C:"), at("Locking \\\\.\\E:"));
  EXPECT_LT(at("Locking \\\\.\\E:"), at("格式化中... "));
  EXPECT_LT(at("Found partition D:      DeviceType: 7   DeviceNumber: 1   Partition: 1"),
            static_cast<long>(log.size()));
  EXPECT_EQ(at("Locking \\\\.\\D:"), static_cast<long>(log.size()));
  EXPECT_EQ(at("Locking \\\\.\\G:"), static_cast<long>(log.size()));  // a CD, not a disk
  EXPECT_TRUE(Run().Locks().LockedVolumeHandles().empty());
  for (const TSimVolume& v : host_->Volumes()) EXPECT_FALSE(v.Locked) << v.Root;
  EXPECT_EQ(host_->OpenHandleCount(), 1u);  // only the drive itself
}

TEST_F(FormatTest, VolumeInUseMeansNoFormatAndTheEarlierLockIsReleased) {
  std::string json = kTwoDrives;
  const std::string e = R"("root": "E:", "partition": 2)";
  json.replace(json.find(e), e.size(), e + R"(, "in_use": true)");
  Machine(json);
  EXPECT_FALSE(Run().FormatSelectedDevice());
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[5], "锁定设备... ");
  EXPECT_EQ(log[6], "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ");
  EXPECT_EQ(log[7].rfind("占用此设备: volume E: is in use: ", 0), 0u) << log[7];
  EXPECT_TRUE(Drive().Writes.empty());
  EXPECT_EQ(Drive().LayoutRefreshes, 1);
  for (const TSimVolume& v : host_->Volumes()) EXPECT_FALSE(v.Locked) << v.Root;
  EXPECT_TRUE(Run().Locks().LockedVolumeHandles().empty());
  EXPECT_EQ(host_->OpenHandleCount(), 1u);
  EXPECT_TRUE(Enabled(ui_, TFormatControl::btRunBenchmarks));
  EXPECT_EQ(ui_.States, std::vector<TProgressState>{TProgressState::pbsNormal});  // never paused
}

TEST_F(FormatTest, DriveHeldByTheSystemIsRefusedAfterItsVolumesAndTheyAreReleased) {
  std::string json = kTwoDrives;
  const std::string first = R"("number": 0,)";
  json.replace(
      json.find(first), first.size(),
      first + R"( "faults": {"claim_holders": ["sdb2 is held by dm-0", "sdb3 is active swap"]},)");
  Machine(json);
  DebugMode = true;
  EXPECT_FALSE(Run().FormatSelectedDevice());
  const std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ");
  EXPECT_EQ(log[log.size() - 2], "占用此设备: sdb2 is held by dm-0");
  EXPECT_EQ(log.back(), "占用此设备: sdb3 is active swap");
  EXPECT_NE(std::find(log.begin(), log.end(), "Busy: sdb3 is active swap"), log.end());
  const std::vector<std::string> debug = DebugTexts();
  EXPECT_NE(std::find(debug.begin(), debug.end(), "Busy: sdb2 is held by dm-0"), debug.end());
  EXPECT_TRUE(Drive().Writes.empty());
  EXPECT_FALSE(Drive().Claimed);
  for (const TSimVolume& v : host_->Volumes()) EXPECT_FALSE(v.Locked) << v.Root;
  EXPECT_TRUE(Run().Locks().LockedVolumeHandles().empty());
  EXPECT_TRUE(Enabled(ui_, TFormatControl::btRunBenchmarks));
}

TEST_F(FormatTest, VolumeThatCannotBeOpenedGivesTheBareInvalidHandleLine) {
  OneDrive(1048576, R"(, "volumes": [{"root": "C:", "partition": 1, "read_open_fails": true}])");
  EXPECT_FALSE(Run().Locks().LockDeviceVolumes(0));
  ASSERT_FALSE(Log_BenchMark.Lines().empty());
  EXPECT_EQ(Log_BenchMark.Lines().back(), "Invalid handle");
}

TEST_F(FormatTest, NoRootsMeansALockThatSucceedsWithNothingLocked) {
  std::string json = kTwoDrives;
  json.insert(json.rfind('}'), R"(, "faults": {"logical_drives": true})");
  Machine(json);
  EXPECT_TRUE(Run().Locks().LockDeviceVolumes(0));
  EXPECT_TRUE(Run().Locks().LockedVolumeHandles().empty());
  Run().Locks().ReleaseDeviceVolumes();
}

TEST_F(FormatTest, CancelledRunStillEndsWithTheReminder) {
  OneDrive(1048576);
  ui_.OnPump = [this] { Run().StopButtonClicked(); };
  EXPECT_FALSE(Run().FormatSelectedDevice());
  const std::vector<std::string> log = Log();
  EXPECT_EQ(log.end()[-4].rfind("在偏移时取消操作", 0), 0u);
  EXPECT_EQ(log.end()[-3], kNoHiddenAreaAnswer);
  EXPECT_EQ(log.end()[-2], "");
  EXPECT_EQ(log.end()[-1], "别忘了创建一个新的分区。");
  EXPECT_FALSE(Run().StopRequested());
}

TEST_F(FormatTest, MissingZeroBufferStillRefreshesReleasesAndEnables) {
  Machine(kTwoDrives);
  Run().SetZeroBufferAllocator([](size_t) -> void* { return nullptr; });
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_EQ(LogFrom("格式化中... ").at(1), "无法分配内存缓冲区。");
  EXPECT_EQ(Drive().LayoutRefreshes, 1);
  for (const TSimVolume& v : host_->Volumes()) EXPECT_FALSE(v.Locked) << v.Root;
  EXPECT_TRUE(Enabled(ui_, TFormatControl::btRunBenchmarks));
  EXPECT_FALSE(Enabled(ui_, TFormatControl::btStop));
}

TEST_F(FormatTest, ClosingTheMainWindowDuringARunStopsItAndClosesTheDriveAfter) {
  OneDrive(4LL * 1048576);
  int closes = 0;
  ui_.OnPump = [&] {
    if (ui_.Caption(TFormatLabel::lbCurrentPercent) == "25% 完成" && closes++ == 0) {
      EXPECT_FALSE(MainWindowCloseRequested());  // put off: the run is using the handle
    }
    EXPECT_NE(DeviceHandle, kInvalidHandle);
  };
  EXPECT_FALSE(FormatFromMainWindow(Run()));
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(LogFrom("在偏移时取消操作1,048,576    LBA 2048").size(), 4u);
  // Every write went to the open drive and landed.
  EXPECT_EQ(Drive().Written, (Ranges{{0, 1048576}}));
  EXPECT_EQ(Drive().LayoutRefreshes, 1);
  EXPECT_TRUE(CloseDeferredByFormat());
  EXPECT_TRUE(MainWindowCloseRequested());
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(host_->OpenHandleCount(), 0u);
  EXPECT_FALSE(CloseDeferredByFormat());
}

TEST_F(FormatTest, ClosingTheMainWindowDuringTheConfirmationIsNoYes) {
  OneDrive(1048576);
  struct TClosingUi : TFormatUi {
    int TaskDialog(const TTaskDialogRequest& request) override {
      Closed = MainWindowCloseRequested();
      return TFormatUi::TaskDialog(request);  // and then Yes
    }
    bool Closed = true;
  } ui;
  TDriveRun run(GetHost(), ui, DeviceTable[SelectedDevice], DeviceHandle, DeviceDescription);
  EXPECT_FALSE(FormatFromMainWindow(run));
  EXPECT_FALSE(ui.Closed);
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(Drive().Writes.empty());
  EXPECT_FALSE(run.StopRequested());
  EXPECT_TRUE(CloseDeferredByFormat());
  EXPECT_TRUE(MainWindowCloseRequested());
  EXPECT_EQ(host_->OpenHandleCount(), 0u);
}

// A drive swapped for another at the same place after the scan: by the disk
// sequence number where the host has one, else by model, serial or length.
TEST_F(FormatTest, ADriveSwappedBeforeTheFirstWriteIsNotWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(, "disk_sequence": 7, "faults": {"swap": {"at_claim": true}})",
       "disk sequence number 7, now 8"},
      {R"(, "faults": {"swap": {"at_claim": true, "serial": "S2"}})", "serial \"S1\", now \"S2\""},
      {R"(, "faults": {"swap": {"at_claim": true, "length": 2097152}})",
       "length 1048576 bytes, now 2097152"},
  };
  for (const auto& [extra, reason] : cases) {
    SCOPED_TRACE(extra);
    OneDrive(1048576, extra);
    DebugMode = true;
    Run().SetEraseRecordWriter([](const TEraseRecord&, std::string*, std::string*) { return true; });
    EXPECT_FALSE(Run().FormatSelectedDevice());
    Run().SetEraseRecordWriter(nullptr);
    EXPECT_TRUE(Drive().Writes.empty());
    EXPECT_EQ(Drive().Claims, 1);
    EXPECT_EQ(Run().LastEraseRecord().Outcome, TEraseOutcome::DriveChanged);
    const auto log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), kDriveChangedText), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "格式化中... "), 0);
    const auto debug = DebugTexts();
    EXPECT_NE(std::find(debug.begin(), debug.end(),
                        "The drive is not the one the scan found (" + std::string(reason) +
                            "); nothing was written"),
              debug.end());
  }
  // The same drive, sequence and all, goes ahead.
  OneDrive(1048576, R"(, "disk_sequence": 7)");
  EXPECT_TRUE(Run().FormatSelectedDevice());
}

// Swapped after the run: the read-back would read another drive and prove
// nothing, so it is not done and the run does not count as complete.
TEST_F(FormatTest, ADriveSwappedBeforeTheReadBackIsNotReadBack) {
  OneDrive(1048576, R"(, "disk_sequence": 7, "faults": {"swap": {"at_flush": true}})");
  ui_.SetVerify(true);
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_EQ(Run().LastEraseRecord().Outcome, TEraseOutcome::DriveChanged);
  EXPECT_FALSE(Run().LastEraseRecord().VerifyRan);
  const auto log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), kDriveChangedBeforeReadBackText), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "校验中... "), 0);
}

TEST_F(FormatTest, ADriveSwappedBeforeItIsOpenedIsNotKept) {
  host_ = &UseSimHost(R"({"drives": [{"number": 0, "length": 1048576, "product": "OLD",
      "faults": {"swap": {"at_open": 2, "product": "NEW"}}}]})");
  SetUi(&ui_);
  ScanDevices();
  SelectedDevice = 1;
  EXPECT_FALSE(OpenSelectedDevice());
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(host_->OpenHandleCount(), 0u);
  ASSERT_EQ(ui_.Messages.size(), 1u);
  EXPECT_EQ(ui_.Messages[0], std::string("打开设备错误: ") + kDriveChangedText);
  EXPECT_EQ(Log(), std::vector<std::string>{kDriveChangedText});
}

}  // namespace
}  // namespace quarnel::test

namespace quarnel::test {
namespace {

// Samples once per second or per percent, whichever comes less often: a slow
// run is held to about a hundred, a fast one to one per second. The
// certificate button follows whether the record was saved.
TEST_F(FormatTest, SpeedSamplesAndTheCertificateButton) {
  const int64_t length = 3LL * 1024 * 1048576;
  for (int64_t tick : {10, 5000}) {
    SCOPED_TRACE("clock step " + std::to_string(tick));
    OneDrive(length);
    tick_ = tick;
    Run().SetEraseRecordWriter([](const TEraseRecord&, std::string* where, std::string*) {
      *where = "/records/r.json";
      return true;
    });
    EXPECT_TRUE(Run().FormatSelectedDevice());
    EXPECT_TRUE(Enabled(ui_, TFormatControl::btCertificate));
    const std::vector<TSpeedSample>& s = Run().LastEraseRecord().SpeedSamples;
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s.front().Seconds, 0);
    EXPECT_EQ(s.front().Bytes, 0);
    EXPECT_EQ(s.back().Bytes, length);
    EXPECT_LE(s.size(), 102u);
    for (size_t i = 1; i + 1 < s.size(); ++i) {
      EXPECT_GE(s[i].Seconds - s[i - 1].Seconds, 1.0) << i;
      EXPECT_GE((s[i].Bytes - s[i - 1].Bytes) * 100, length) << i;
    }
    if (tick == 10) {
      EXPECT_LT(s.size(), 20u);  // a run of a few seconds
    }
    EXPECT_EQ(Run().LastEraseRecordFile(), "/records/r.json");
  }
  Run().SetEraseRecordWriter([](const TEraseRecord&, std::string* where, std::string* error) {
    *where = "/records/r.json";
    *error = "disk full";
    return false;
  });
  OneDrive(1048576);
  EXPECT_TRUE(Run().FormatSelectedDevice());
  EXPECT_FALSE(Enabled(ui_, TFormatControl::btCertificate));
  Run().SetEraseRecordWriter(nullptr);
}

}  // namespace
}  // namespace quarnel::test
