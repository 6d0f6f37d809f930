#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "batch/BatchProtocol.h"
#include "cli/CliBatch.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

class CliBatch : public ::testing::Test {
 protected:
  std::string Describe(const std::string& text) {
    const fs::path file = dir_ / "machine.json";
    std::ofstream(file) << text;
    return file.string();
  }
  int Run(const std::string& args) {
    return test::RunCommand(std::string("LC_ALL=C ") + QUARNEL_CLI_PATH + " " + args, &out_, &err_);
  }
  static json Drive(const json& doc, const std::string& serial) {
    for (const json& d : doc["drives"]) {
      if (d["serial"] == serial) return d;
    }
    ADD_FAILURE() << "no drive " << serial;
    return json::object();
  }

  test::TTempFolder dir_{"batch"};
  std::string out_, err_;
};

// One drive of each ending: written and read back, a failed block, gone
// midway, held by the system, and stopped by a stop rule (28 °C > 20 °C).
const char* const kMixedRack = R"({"drives": [
  {"number": 0, "length": 67108864, "product": "GOOD", "serial": "GOOD0001", "write_mb_per_s": 400},
  {"number": 1, "length": 67108864, "product": "BAD", "serial": "BAD00002",
   "faults": {"write_errors": [{"offset": 1048576, "code": 23}]}},
  {"number": 2, "length": 67108864, "product": "GONE", "serial": "GONE0003",
   "faults": {"vanish_at": 8388608}},
  {"number": 3, "length": 67108864, "product": "BUSY", "serial": "BUSY0004",
   "faults": {"claim_holders": ["sdb1 is active swap"]}},
  {"number": 4, "length": 120034123776, "product": "HOT", "serial": "HOT00005",
   "identify_file": "DATA/identify.bin", "smart_file": "DATA/smart.bin"}
]})";

TEST_F(CliBatch, MixedRackEndsEachDriveOnItsOwnAndReportsTheWorst) {
  std::string machine = kMixedRack;
  const std::string data = std::string(QUARNEL_TEST_DATA) + "/drives/FUJITSU_MHY2120BH--0084000D";
  for (size_t at; (at = machine.find("DATA")) != std::string::npos;) machine.replace(at, 4, data);
  const fs::path records = dir_ / "records";
  fs::create_directory(records);
  const int status = Run("--simulate=" + Describe(machine) +
                         " format 1 2 3 4 5 --yes --verify --stop-above 20 --json --record-dir " +
                         records.string());
  EXPECT_EQ(status, 1) << err_;  // the worst: a failed block
  const json doc = json::parse(out_, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << out_;
  EXPECT_EQ(doc["exit_status"], 1);
  ASSERT_EQ(doc["drives"].size(), 5u);

  const json good = Drive(doc, "GOOD0001");
  EXPECT_EQ(good["outcome"], "complete");
  EXPECT_EQ(good["bytes_written"], 67108864);
  EXPECT_EQ(good["verification"], "passed");
  EXPECT_EQ(good["record"]["verification"]["bytes_read"], 67108864);
  EXPECT_EQ(Drive(doc, "BAD00002")["outcome"], "failed");
  EXPECT_EQ(Drive(doc, "GONE0003")["outcome"], "aborted");
  const json busy = Drive(doc, "BUSY0004");
  EXPECT_EQ(busy["outcome"], "not-locked");
  EXPECT_EQ(busy["bytes_written"], 0);
  const json hot = Drive(doc, "HOT00005");
  EXPECT_EQ(hot["outcome"], "cancelled");
  EXPECT_EQ(hot["stopped_by"], "stop-above");
  EXPECT_EQ(hot["record"]["stopped_by"]["value"], 28);

  // Each record went to its own file, the same as the document's.
  for (const json& d : doc["drives"]) {
    ASSERT_TRUE(d["record_file"].is_string()) << d["serial"];
    std::ifstream in(fs::path(d["record_file"].get<std::string>()));
    const json file = json::parse(in, nullptr, false);
    EXPECT_EQ(file["outcome"], d["outcome"]);
    EXPECT_EQ(file["seal"], d["record"]["seal"]);
  }
  // What holds the busy drive is said in the terminal's output, by drive.
  EXPECT_NE(err_.find("[4] "), std::string::npos);
  EXPECT_NE(err_.find("占用此设备: sdb1 is active swap"), std::string::npos) << err_;
  EXPECT_NE(err_.find("stop-above: the drive reports 28 °C, above 20 °C"), std::string::npos);
}

TEST_F(CliBatch, QuestionNamesHiddenSectorsAndTheirDriveEndsVisibleSectorsOnly) {
  EXPECT_EQ(Run("--simulate format 1 2 --quick --yes"), 6) << err_;
  EXPECT_NE(err_.find("      此驱动器隐藏了 2,097,152 个扇区 (HPA/DCO)，本次擦除不会触及它们。"),
            std::string::npos)
      << err_;
  EXPECT_NE(out_.find("  visible-sectors-only  "), std::string::npos) << out_;
}

// A drive that says it is failing is still erased on a yes, but the
// question, the end table, the record and its certificate say it should not
// be reused; a healthy one beside it is called good. Who erased them, for
// whom, where and each asset's tag go into the records and certificates.
TEST_F(CliBatch, FailingDriveIsErasedAndMarkedNotForReuse) {
  const std::string data = std::string(QUARNEL_TEST_DATA) + "/drives/FUJITSU_MHY2120BH--0084000D";
  const std::string drive = R"(, "length": 67108864, "identify_file": ")" + data +
                            R"(/identify.bin", "smart_file": ")" + data + R"(/smart.bin")";
  const std::string machine = Describe(
      R"({"drives": [{"number": 0, "serial": "SICK0001", "smart_return_status": "failed")" + drive +
      R"(}, {"number": 1, "serial": "FINE0002")" + drive + "}]}");
  const fs::path records = dir_ / "records";
  fs::create_directory(records);
  EXPECT_EQ(Run("--simulate=" + machine + " format 1 2 --quick --yes --asset-tag A-17"), 2);
  EXPECT_NE(err_.find("with several drives give serial:SERIAL=TAG"), std::string::npos) << err_;
  ASSERT_EQ(Run("--simulate=" + machine +
                " format 1 2 --quick --yes --operator '张 三' --organisation 'Acme IT' "
                "--location Lab --asset-tag serial:SICK0001=A-17 --record-dir " +
                records.string()),
            0)
      << err_;
  EXPECT_NE(
      err_.find("      健康评估: 故障 (SMART 返回状态: 设备预测自身即将故障) 此驱动器不应再使用。"),
      std::string::npos)
      << err_;
  EXPECT_NE(err_.find("      健康评估: 良好\n"), std::string::npos) << err_;
  EXPECT_NE(out_.find("  failing: do not reuse  "), std::string::npos) << out_;
  EXPECT_NE(out_.find("  good  "), std::string::npos) << out_;
  std::string sick;
  for (const auto& f : fs::directory_iterator(records)) {
    if (f.path().string().find("SICK0001") != std::string::npos) sick = f.path().string();
  }
  ASSERT_FALSE(sick.empty());
  std::ifstream in(sick);
  const json record = json::parse(in, nullptr, false);
  ASSERT_TRUE(record.is_object());
  EXPECT_EQ(record["health"]["before"]["verdict"], "failing");
  EXPECT_EQ(record["health"]["after"]["verdict"], "failing");
  EXPECT_EQ(record["health"]["do_not_reuse"], true);
  EXPECT_EQ(record["context"], json::parse(R"({"operator": "张 三", "organisation": "Acme IT",
                                                "location": "Lab", "asset_tag": "A-17"})"));
  ASSERT_EQ(Run("record certificate " + sick), 0) << err_;
  EXPECT_NE(out_.find("此驱动器不应再使用。"), std::string::npos);
  EXPECT_NE(out_.find("A-17"), std::string::npos);
  EXPECT_NE(out_.find("张 三"), std::string::npos);
}

TEST_F(CliBatch, InterruptStopsEveryRunWithItsRecord) {
  const std::string machine = Describe(R"({"drives": [
    {"number": 0, "length": 268435456, "serial": "SLOW0001", "write_mb_per_s": 20},
    {"number": 1, "length": 268435456, "serial": "SLOW0002", "write_mb_per_s": 20},
    {"number": 2, "length": 268435456, "serial": "SLOW0003", "write_mb_per_s": 20}]})");
  // The third waits for a free place (--jobs 2) and is never started. The
  // stop comes once both runs have written (however loaded the machine).
  const std::string log = (dir_ / "progress.txt").string();
  const std::string command =
      std::string("LC_ALL=C ") + QUARNEL_CLI_PATH + " --simulate=" + machine +
      " format 1 2 3 --yes --jobs 2 --json 2>" + log + " & pid=$!; for i in $(seq 300); do " +
      "grep -q 'SLOW0001 .*[1-9]%' " + log + " && grep -q 'SLOW0002 .*[1-9]%' " + log +
      " && break; sleep 0.1; done; kill -INT $pid; wait $pid";
  const int status = test::RunCommand(command, &out_, &err_);
  EXPECT_EQ(status, 3) << err_;
  const json doc = json::parse(out_, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << out_ << err_;
  for (const char* serial : {"SLOW0001", "SLOW0002"}) {
    const json d = Drive(doc, serial);
    EXPECT_EQ(d["outcome"], "cancelled") << serial;
    EXPECT_GT(d["bytes_written"].get<int64_t>(), 0) << serial;
    EXPECT_LT(d["bytes_written"].get<int64_t>(), 268435456) << serial;
    EXPECT_TRUE(d["record"]["flush"]["succeeded"].get<bool>()) << serial;
  }
  EXPECT_EQ(Drive(doc, "SLOW0003")["outcome"], "not-started");
}

TEST_F(CliBatch, MemberNeverWritesADriveOtherThanTheOneConfirmed) {
  const std::string machine = Describe(R"({"drives": [
    {"number": 0, "length": 67108864, "product": "NEW", "serial": "NEW00001"}]})");
  TRunOrder order;
  order.Number = 3;
  order.Path = "\\\\.\\PhysicalDrive0";
  order.Simulate = true;
  order.SimulateFile = machine;
  order.Identity.Read = true;
  order.Identity.Model = "NEW";
  order.Identity.Serial = "OLD00001";  // another drive now stands at its place
  order.Identity.Length = 67108864;
  const int status =
      Run("--simulate=" + machine + " format '--batch-member=" + RunOrderJson(order) + "'");
  EXPECT_EQ(status, 4) << err_;
  TMemberStream stream;
  stream.Feed(err_.data(), err_.size());
  stream.End();
  TMemberEvent event;
  TBatchRow row;
  bool ended = false, stray = false;
  while (stream.Next(&event)) {
    if (event.Kind == TMemberEvent::TKind::Outcome) row = event.Row, ended = true;
    stray = stray || event.Stray;
  }
  ASSERT_TRUE(ended) << err_;
  EXPECT_FALSE(stray) << err_;  // everything it said was an event
  EXPECT_EQ(row.Outcome, TRowOutcome::DriveChanged);
  EXPECT_EQ(row.BytesWritten, 0);
  // Its log names it by the batch's number, not its own list's.
  EXPECT_NE(err_.find("低级格式化: [3]"), std::string::npos) << err_;
}

// One member dies mid-run (crash_at): the others end with their records, the
// dead one is reported crashed, and the batch fails.
TEST_F(CliBatch, CrashedRunTakesNoOtherWithIt) {
  const std::string machine = Describe(R"({"drives": [
    {"number": 0, "length": 33554432, "serial": "OK000001"},
    {"number": 1, "length": 33554432, "serial": "CRASH002", "faults": {"crash_at": 4194304}},
    {"number": 2, "length": 33554432, "serial": "OK000003"},
    {"number": 3, "length": 33554432, "serial": "OK000004"}]})");
  const fs::path records = dir_ / "records";
  fs::create_directory(records);
  EXPECT_EQ(Run("--simulate=" + machine + " format 1 2 3 4 --yes --json --record-dir " +
                records.string()),
            1)
      << err_;
  const json doc = json::parse(out_, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << out_ << err_;
  EXPECT_EQ(doc["exit_status"], 1);
  const json crashed = Drive(doc, "CRASH002");
  EXPECT_EQ(crashed["outcome"], "crashed");
  EXPECT_TRUE(crashed["record"].is_null());
  for (const char* serial : {"OK000001", "OK000003", "OK000004"}) {
    const json d = Drive(doc, serial);
    EXPECT_EQ(d["outcome"], "complete") << serial;
    EXPECT_TRUE(fs::exists(fs::path(d["record_file"].get<std::string>()))) << serial;
  }
  // The crashed run wrote no record: at most the empty file it had opened.
  for (const auto& entry : fs::directory_iterator(records)) {
    if (entry.path().filename().string().find("CRASH002") != std::string::npos) {
      EXPECT_EQ(fs::file_size(entry.path()), 0u);
    }
  }
  EXPECT_NE(err_.find("CRASH002: crashed (status "), std::string::npos) << err_;
}


// The watch: a drive there when it was armed is never touched; two that
// come later are erased, each with its record, and --count 2 ends it with
// the end table. A drive that comes and goes before its turn is only gone.
TEST_F(CliBatch, WatchErasesOnlyDrivesAttachedAfterItWasArmed) {
  const std::string machine = Describe(R"({"drives": [
    {"number": 0, "length": 33554432, "product": "THERE", "serial": "THERE001"},
    {"number": 1, "length": 33554432, "product": "LATE", "serial": "LATE0002",
     "attach_after_seconds": 1.5},
    {"number": 2, "length": 33554432, "product": "LATER", "serial": "LATER003",
     "attach_after_seconds": 2.5}]})");
  const fs::path records = dir_ / "records";
  fs::create_directory(records);
  const int status = Run("--simulate=" + machine + " watch --quick --yes --count 2 --record-dir " +
                         records.string() + " --json");
  EXPECT_EQ(status, 0) << err_;
  const json doc = json::parse(out_, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << out_ << err_;
  ASSERT_EQ(doc["drives"].size(), 2u) << out_;
  EXPECT_EQ(Drive(doc, "LATE0002")["outcome"], "complete");
  EXPECT_EQ(Drive(doc, "LATER003")["outcome"], "complete");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(records)) {
    EXPECT_EQ(entry.path().filename().string().find("THERE001"), std::string::npos);
    ++files;
  }
  EXPECT_EQ(files, 2u);
  // Without --yes and without a terminal the policy cannot be confirmed.
  EXPECT_NE(Run("--simulate=" + machine + " watch --quick --count 1 --record-dir " +
                records.string()),
            0);
}

}  // namespace
}  // namespace quarnel
