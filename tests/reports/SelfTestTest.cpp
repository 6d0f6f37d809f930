// Self-tests: the ATA and NVMe logs decoded from bytes, and the terminal's
// selftest command against simulated drives that run, fail, are aborted or
// offer none.
#include <gtest/gtest.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/MainState.h"
#include "ata/AtaSelfTest.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "host/Bytes.h"
#include "nvme/NvmeSelfTest.h"
#include "reports/SelfTest.h"
#include "support/SimSupport.h"

namespace quarnel {
namespace {

using S = TSelfTestStatus;

std::vector<uint8_t> AtaLog(uint8_t index) {
  std::vector<uint8_t> log(512, 0);
  log[0] = 1;
  const auto put = [&](int slot, uint8_t number, uint8_t status, uint16_t hours, uint32_t lba) {
    uint8_t* d = log.data() + 2 + 24 * slot;
    d[0] = number;
    d[1] = status;
    PutU16(d, 2, hours);
    PutU32(d, 5, lba);
  };
  put(20, 0x02, 0x00, 100, 0xFFFFFFFFu);  // the oldest, in the last slot
  put(0, 0x81, 0x73, 200, 0x00ABCDEFu);   // captive short: read failure, 30 % left
  put(1, 0x03, 0x10, 300, 0);             // conveyance aborted by the host
  log[508] = index;
  uint8_t sum = 0;
  for (size_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + log[i]);
  log[511] = static_cast<uint8_t>(-sum);
  return log;
}

TEST(SelfTestLog, AtaDescriptorsNewestFirstAcrossTheWrapAndTheChecksumHolds) {
  const std::vector<uint8_t> log = AtaLog(2);
  std::vector<TSelfTestEntry> e;
  ASSERT_TRUE(DecodeAtaSelfTestLog(log.data(), log.size(), &e));
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].Type, TSelfTestType::Conveyance);
  EXPECT_EQ(e[0].Status, S::AbortedByHost);
  EXPECT_FALSE(e[0].FailingLba);  // only a failure names a sector, even a zero one
  EXPECT_EQ(e[0].LifetimeHours, 300u);
  EXPECT_EQ(e[1].Type, TSelfTestType::Short);
  EXPECT_EQ(e[1].Status, S::FailedRead);
  EXPECT_EQ(e[1].RemainingPercent, 30);
  EXPECT_EQ(e[1].FailingLba, 0x00ABCDEFu);
  EXPECT_EQ(e[2].Type, TSelfTestType::Extended);
  EXPECT_EQ(e[2].Status, S::Completed);

  std::vector<uint8_t> wrong = log;
  wrong[100] ^= 1;
  EXPECT_FALSE(DecodeAtaSelfTestLog(wrong.data(), wrong.size(), &e));
  const std::vector<uint8_t> badIndex = AtaLog(22);
  EXPECT_FALSE(DecodeAtaSelfTestLog(badIndex.data(), badIndex.size(), &e));
  EXPECT_FALSE(DecodeAtaSelfTestLog(log.data(), 511, &e));
  const std::vector<uint8_t> none = AtaLog(0);  // index 0: nothing logged yet
  ASSERT_TRUE(DecodeAtaSelfTestLog(none.data(), none.size(), &e));
  EXPECT_TRUE(e.empty());
}

TEST(SelfTestLog, NvmeCurrentOperationAndResults) {
  std::vector<uint8_t> log(kNvmeSelfTestLogSize, 0);
  log[0] = 0x2;  // an extended test runs,
  log[1] = 35;   // 35 % done
  for (size_t k = 0; k < 20; ++k) log[4 + 28 * k] = 0x0F;
  uint8_t* r = log.data() + 4;
  r[0] = 0x17;  // short, failed segment
  r[1] = 7;
  r[2] = 0x02;  // FLBA valid
  PutU64(r, 4, 4321);
  PutU64(r, 16, 987654321);
  log[4 + 28] = 0x20;  // extended, completed
  TSelfTestProgress p;
  std::vector<TSelfTestEntry> e;
  ASSERT_TRUE(DecodeNvmeSelfTestLog(log.data(), log.size(), &p, &e));
  EXPECT_TRUE(p.Running);
  EXPECT_EQ(p.RemainingPercent, 65);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].Status, S::FailedSegment);
  EXPECT_EQ(e[0].Segment, 7);
  EXPECT_EQ(e[0].LifetimeHours, 4321u);
  EXPECT_EQ(e[0].FailingLba, 987654321u);
  EXPECT_EQ(e[1].Type, TSelfTestType::Extended);
  EXPECT_FALSE(e[1].FailingLba);
  EXPECT_FALSE(DecodeNvmeSelfTestLog(log.data(), log.size() - 4, &p, &e));
}

// The NVMe drive of the captured controller; its OACS offers no self-test.
std::string NvmeDrive(int number) {
  const std::string dir = "nvme/QEMU_NVMe_Ctrl/";
  return R"({"number": )" + std::to_string(number) +
         R"(, "length": 1073741824, "bus_type": 17, "product": "QEMU NVMe Ctrl",
            "nvme_identify_ctrl_file": ")" +
         dir + R"(id-ctrl.bin", "nvme_identify_ns_file": ")" + dir +
         R"(id-ns.bin", "nvme_health_file": ")" + dir + R"(smart-log.bin"})";
}

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

TRun SelfTest(const std::string& drive, const std::string& kind) {
  std::ostringstream out, err;
  TCliUi ui(out, err, TCliTerminal{});
  TRun r;
  r.Status = CommandSelfTest({drive, kind}, ui, out, err);
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

nlohmann::json SmartDocument(const std::string& drive) {
  std::ostringstream out, err;
  EXPECT_EQ(CommandSmartJson({drive}, out, err), 0) << err.str();
  return nlohmann::json::parse(out.str());
}

TEST(SelfTestCommand, RunsToItsEndOrItsFailureWithProgressOnTheWay) {
  SimHost& host = test::UseSimHost(test::SimMachine(
      {test::SimDrive(0, 1000000),
       test::SimDrive(1, 1000000, true,
                      R"(, "self_test_seconds": 5, "self_test_result": {"status": "read_failure",
                            "lba": 12345})"),
       NvmeDrive(2), NvmeDrive(3)}));
  for (int n : {2, 3}) host.Drive(n)->NvmeController[256] |= 0x10;  // offers Device Self-test
  host.Drive(3)->SelfTest.Result = 7;
  host.Drive(3)->SelfTest.FailingLba = 777;

  TRun r = SelfTest("1", "short");
  EXPECT_EQ(r.Status, kExitComplete) << r.Err;
  EXPECT_NE(r.Err.find("self-test short: 50% left"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("完成, 无错误"), std::string::npos) << r.Out;
  nlohmann::json j = SmartDocument("1");
  EXPECT_EQ(j["self_tests_offered"], true);
  ASSERT_EQ(j["self_tests"].size(), 1u);
  EXPECT_EQ(j["self_tests"][0]["type"], "short");
  EXPECT_EQ(j["self_tests"][0]["status"], "completed");
  EXPECT_EQ(j["self_tests"][0]["failing_lba"], nullptr);

  r = SelfTest("2", "extended");
  EXPECT_EQ(r.Status, kExitFailed) << r.Err;
  EXPECT_NE(r.Out.find("首个错误 LBA 12345"), std::string::npos) << r.Out;
  EXPECT_NE(r.Err.find("80% left"), std::string::npos) << r.Err;
  j = SmartDocument("2");
  EXPECT_EQ(j["self_tests"][0]["type"], "extended");
  EXPECT_EQ(j["self_tests"][0]["status"], "read_failure");
  EXPECT_EQ(j["self_tests"][0]["failing_lba"], 12345);

  r = SelfTest("3", "short");
  EXPECT_EQ(r.Status, kExitComplete) << r.Err;
  r = SelfTest("4", "extended");
  EXPECT_EQ(r.Status, kExitFailed) << r.Err;
  j = SmartDocument("4");
  EXPECT_EQ(j["self_tests"][0]["status"], "segment_failure");
  EXPECT_EQ(j["self_tests"][0]["failing_lba"], 777);
  EXPECT_EQ(SelfTest("4", "conveyance").Status, kExitFailed);  // NVMe has none
}

TEST(SelfTestCommand, AbortStopsTheRunningTestAndIsLogged) {
  SimHost& host = test::UseSimHost(test::SimMachine(
      {test::SimDrive(0, 1000000, true, R"(, "self_test_seconds": 600)"), NvmeDrive(1)}));
  host.Drive(1)->NvmeController[256] |= 0x10;
  host.Drive(1)->SelfTest.Seconds = 600;
  for (const char* drive : {"1", "2"}) {
    SCOPED_TRACE(drive);
    // Started as a Ctrl+C would leave it: running in the drive.
    ScanDevices();
    const TIdentifyDeviceData& id = DeviceTable[drive[0] - '0'].IdentifyData;
    ASSERT_TRUE(SelectAndOpen({drive}, std::cerr));
    const TSelfTestFacts before = ReadSelfTestFacts(DeviceHandle, id);
    ASSERT_EQ(StartSelfTest(DeviceHandle, id, before, TSelfTestKind::Extended),
              TSelfTestStart::Started);
    GetHost().Sleep(120000);
    const TSelfTestFacts running = ReadSelfTestFacts(DeviceHandle, id);
    EXPECT_TRUE(running.Progress.Running);
    EXPECT_EQ(running.Progress.RemainingPercent, 80);
    GetHost().CloseHandle(DeviceHandle);

    const TRun again = SelfTest(drive, "short");
    EXPECT_EQ(again.Status, kExitFailed);
    EXPECT_NE(again.Err.find("already runs"), std::string::npos) << again.Err;
    const TRun r = SelfTest(drive, "abort");
    EXPECT_EQ(r.Status, kExitComplete) << r.Err;
    EXPECT_NE(r.Out.find("stopped"), std::string::npos) << r.Out;
    const nlohmann::json j = SmartDocument(drive);
    ASSERT_EQ(j["self_tests"].size(), 1u);
    EXPECT_EQ(j["self_tests"][0]["status"], "aborted");
    EXPECT_EQ(j["self_tests"][0]["type"], "extended");
  }
}

TEST(SelfTestCommand, DrivesThatOfferNoneSaySoAndGetNoCommand) {
  SimHost& host = test::UseSimHost(test::SimMachine({test::SimDrive(0, 1000000), NvmeDrive(1)}));
  host.Drive(0)->Smart[367] &= static_cast<uint8_t>(~0x30);
  for (const char* drive : {"1", "2"}) {
    const TRun r = SelfTest(drive, "short");
    EXPECT_EQ(r.Status, kExitFailed);
    EXPECT_NE(r.Err.find("offers no self-tests"), std::string::npos) << r.Err;
    const nlohmann::json j = SmartDocument(drive);
    EXPECT_EQ(j["self_tests_offered"], false);
    EXPECT_EQ(j["self_tests"], nullptr);
  }
  EXPECT_EQ(host.Drive(0)->SelfTest.Commands + host.Drive(1)->SelfTest.Commands, 0);
}

}  // namespace
}  // namespace quarnel
