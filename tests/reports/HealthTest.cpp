// The health verdict: on the captured drives, written out and against
// skdump's overall status; on simulated drives through the terminal program's
// smart command; and the NVMe health log's rules.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ata/IdentifyDecode.h"
#include "base/Logging.h"
#ifndef _WIN32
#include "cli/CliApp.h"
#endif
#include "host/HostConstants.h"
#include "reports/Health.h"
#include "reports/ReportFixture.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

using V = THealthVerdict;

// A captured drive's blocks as the report reads them. Its RETURN STATUS was
// kept as skdump keeps it: 4 bytes, big-endian, 1 for passed.
TSmartFacts CapturedFacts(const std::string& name) {
  const std::string dir = test::DriveDataDir(name);
  TSmartFacts f;
  f.Read = f.ThresholdsRead = true;
  const std::vector<uint8_t> page = test::ReadBytes(dir + "/smart.bin");
  const std::vector<uint8_t> thresholds = test::ReadBytes(dir + "/thresholds.bin");
  const std::vector<uint8_t> identify = test::ReadBytes(dir + "/identify.bin");
  EXPECT_EQ(page.size() + thresholds.size() + identify.size(), 3 * 512u);
  std::copy(page.begin(), page.end(), f.Page.begin());
  std::copy(thresholds.begin(), thresholds.end(), f.Thresholds.begin());
  uint8_t block[512] = {};
  std::copy(identify.begin(), identify.end(), block);
  f.Sectors = DecodeIdentifyData(block).lbasectors;
  const std::vector<uint8_t> status = test::ReadBytes(dir + "/smart_status.bin");
  if (status.size() == 4) {
    f.ReturnStatus = status[3] == 1 ? TSmartReturnStatus::Passed : TSmartReturnStatus::Failed;
  }
  return f;
}

struct TExpected {
  const char* Name;
  V Verdict;
  uint64_t BadSectors;
};

TEST(Health, CapturedDrivesGetTheirVerdicts) {
  // Fujitsu's 197 holds no sector count (its low 32 bits pass the drive's
  // size); the ST9100821AS's start-stop count is old-age, so not judged.
  const TExpected expected[] = {
      {"FUJITSU_MHY2120BH--0084000D", V::Good, 0},
      {"FUJITSU_MHY2120BH--0085000B", V::Good, 0},
      {"FUJITSU_MHY2250BH--0085000B", V::Good, 0},
      {"INTEL_SSDSA2MH080G1GC--045C8820", V::Good, 0},
      {"Maxtor_96147H8--BAC51KJ0", V::Warning, 71},
      {"SAMSUNG_HD501LJ--CR100-12", V::Warning, 2},
      {"SAMSUNG_MP0804H--UE100-14", V::Good, 0},
      {"ST320410A--3.39", V::Warning, 5},
      {"ST9100821AS--3.CME", V::Good, 0},
      {"WDC_WD2500JB--00REA0-20.00K20", V::Warning, 1},
      {"WDC_WD5000AAKS--00TMA0-12.01C01", V::Warning, 592},
  };
  ASSERT_EQ(test::CapturedDrives().size(), std::size(expected));
  for (const TExpected& e : expected) {
    SCOPED_TRACE(e.Name);
    const THealthAssessment a = AssessSmartFacts(CapturedFacts(e.Name));
    EXPECT_EQ(a.Verdict, e.Verdict);
    EXPECT_EQ(a.BadSectors, e.BadSectors);
    EXPECT_EQ(a.Reasons.empty(), e.Verdict == V::Good);
  }
  EXPECT_EQ(AssessSmartFacts(CapturedFacts("WDC_WD2500JB--00REA0-20.00K20")).ReturnStatus,
            TSmartReturnStatus::NoAnswer);
}

#ifndef _WIN32  // skdump runs through the shell
// A captured SMART page with the values of one slot changed, its checksum
// made good again.
std::array<uint8_t, 512> ChangedPage(const std::string& name, size_t slot, uint8_t current,
                                     uint8_t worst) {
  const std::vector<uint8_t> page = test::ReadBytes(test::DriveDataDir(name) + "/smart.bin");
  std::array<uint8_t, 512> p{};
  std::copy(page.begin(), page.end(), p.begin());
  p[2 + 12 * slot + 3] = current;
  p[2 + 12 * slot + 4] = worst;
  uint8_t sum = 0;
  for (size_t i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + p[i]);
  p[511] = static_cast<uint8_t>(-sum);
  return p;
}

// skdump's overall status of a blob of tagged blocks, as our verdict.
V SkdumpVerdict(const std::string& blob, uint64_t* badSectors) {
  std::string out, err;
  EXPECT_EQ(test::RunCommand("skdump --load=" + blob, &out, &err), 0) << err;
  std::string plain;  // without the bold escapes
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\x1b') {
      i = out.find('m', i);
      if (i == std::string::npos) break;
    } else {
      plain += out[i];
    }
  }
  std::istringstream in(plain);
  std::string overall;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Bad Sectors: ", 0) == 0) *badSectors = std::stoull(line.substr(13));
    if (line.rfind("Overall Status: ", 0) == 0) overall = line.substr(16);
  }
  if (overall == "GOOD") return V::Good;
  if (overall == "BAD_ATTRIBUTE_IN_THE_PAST" || overall == "BAD_SECTOR") return V::Warning;
  if (overall == "BAD_SECTOR_MANY" || overall == "BAD_ATTRIBUTE_NOW" || overall == "BAD_STATUS") {
    return V::Failing;
  }
  ADD_FAILURE() << "no overall status from skdump: " << plain;
  return V::Unknown;
}

// The blocks of `f` in skdump's tagged file: tag, big-endian length, data.
void WriteBlob(const std::string& path, const std::string& dir, const TSmartFacts& f) {
  std::ofstream out(path, std::ios::binary);
  const auto block = [&out](const char* tag, const uint8_t* data, uint32_t size) {
    const char length[4] = {0, 0, static_cast<char>(size >> 8), static_cast<char>(size)};
    out.write(tag, 4).write(length, 4).write(reinterpret_cast<const char*>(data), size);
  };
  const std::vector<uint8_t> identify = test::ReadBytes(dir + "/identify.bin");
  block("IDFY", identify.data(), 512);
  // skdump gives no overall status without one; ours judges the rest alike.
  const uint8_t status[4] = {0, 0, 0, f.ReturnStatus != TSmartReturnStatus::Failed};
  block("SMST", status, 4);
  block("SMDT", f.Page.data(), 512);
  block("SMTH", f.Thresholds.data(), 512);
}

TEST(Health, VerdictsAgreeWithSkdump) {
  std::string out, err;
  if (test::RunCommand("command -v skdump", &out, &err) != 0) {
    GTEST_SKIP() << "skdump is not installed (package libatasmart-bin)";
  }
  const test::TTempFolder folder("health");
  const std::string blob = (folder / "drive.blob").string();
  const auto compare = [&blob](const std::string& name, const TSmartFacts& f) {
    WriteBlob(blob, test::DriveDataDir(name), f);
    uint64_t theirs = 0;
    const V verdict = SkdumpVerdict(blob, &theirs);
    const THealthAssessment ours = AssessSmartFacts(f);
    EXPECT_EQ(ours.Verdict, verdict);
    EXPECT_EQ(ours.BadSectors.value_or(0), theirs);
  };
  for (const std::string& name : test::CapturedDrives()) {
    SCOPED_TRACE(name);
    compare(name, CapturedFacts(name));
  }
  // The rules that the captured drives leave untried, on one of them: the
  // drive's own failure, a pre-failure attribute at its threshold now, an
  // old-age one there (not judged), and unreadable values (0, 254).
  const std::string name = "SAMSUNG_MP0804H--UE100-14";
  const auto changed = [&name](size_t slot, uint8_t current, uint8_t worst) {
    TSmartFacts f = CapturedFacts(name);
    f.Page = ChangedPage(name, slot, current, worst);
    return f;
  };
  TSmartFacts failed = CapturedFacts(name);
  failed.ReturnStatus = TSmartReturnStatus::Failed;
  for (const TSmartFacts& f : {failed, changed(0, 51, 51), changed(0, 52, 51), changed(16, 51, 51),
                               changed(0, 0, 100), changed(0, 100, 0), changed(0, 254, 254)}) {
    compare(name, f);
  }
}
#endif  // !_WIN32

TEST(Health, ManyBadSectorsFailADriveByItsSize) {
  constexpr int64_t kSectors = 976773168;  // 500 GB: 29 powers of two
  TSmartAttributeRow reallocated;
  reallocated.Id = 5;
  const auto assess = [&reallocated](uint64_t raw, int64_t sectors) {
    reallocated.Raw = raw;
    return AssessAtaHealth({reallocated}, TSmartReturnStatus::Passed, sectors);
  };
  EXPECT_EQ(assess(29 * 1024, kSectors).Verdict, V::Warning);
  // Vendors keep other counters above the low 32 bits.
  const THealthAssessment many = assess(29 * 1024 + 1 + (uint64_t{0x7D0} << 32), kSectors);
  EXPECT_EQ(many.Verdict, V::Failing);
  EXPECT_EQ(many.BadSectors, 29 * 1024 + 1u);
  EXPECT_EQ(many.Reasons.back().Kind, THealthReasonKind::ManyBadSectors);
  EXPECT_EQ(assess(29 * 1024 + 1, 0).Verdict, V::Warning);  // no size, no limit
  EXPECT_EQ(assess(0xFFFFFFFF, 0).BadSectors, std::nullopt);
  EXPECT_EQ(AssessAtaHealth({}, TSmartReturnStatus::Passed, 0).BadSectors, std::nullopt);
  // A table listing attribute 5 twice (as a fuzzed page did) counts it once:
  // 20,000 sectors stay a warning, not twice that and failing.
  reallocated.Raw = 20000;
  TSmartAttributeRow pending;
  pending.Id = 197;
  pending.Raw = 1;
  const THealthAssessment twice =
      AssessAtaHealth({reallocated, pending, reallocated}, TSmartReturnStatus::Passed, kSectors);
  EXPECT_EQ(twice.BadSectors, 20001u);
  EXPECT_EQ(twice.Verdict, V::Warning);
  EXPECT_EQ(twice.Reasons.size(), 2u);
}

TEST(Health, NvmeHealthLog) {
  struct TCase {
    uint8_t Warning, Spare, Threshold, Used;
    uint64_t MediaErrors;
    V Verdict;
  };
  const TCase cases[] = {
      {0x00, 100, 10, 3, 0, V::Good},      {0x01, 5, 10, 3, 0, V::Failing},
      {0x02, 100, 10, 3, 0, V::Failing},   {0x04, 100, 10, 3, 0, V::Failing},
      {0x08, 100, 10, 3, 0, V::Failing},   {0x10, 100, 10, 3, 0, V::Failing},
      {0x20, 100, 10, 3, 0, V::Failing},   {0xC0, 100, 10, 3, 0, V::Good},  // reserved bits
      {0x00, 10, 10, 3, 0, V::Warning},    {0x00, 100, 10, 100, 0, V::Warning},
      {0x00, 100, 10, 255, 0, V::Warning}, {0x00, 100, 10, 99, 1, V::Warning},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int{c.Warning});
    TNvmeHealth h;
    h.CriticalWarning = c.Warning;
    h.AvailableSpare = c.Spare;
    h.SpareThreshold = c.Threshold;
    h.PercentageUsed = c.Used;
    h.MediaErrors.Low = c.MediaErrors;
    const THealthAssessment a = AssessNvmeHealth(h);
    EXPECT_EQ(a.Verdict, c.Verdict);
    EXPECT_EQ(a.BadSectors, std::nullopt);
    if (c.Warning != 0 && c.Verdict == V::Failing) {
      ASSERT_FALSE(a.Reasons.empty());
      EXPECT_EQ(a.Reasons[0].Kind, THealthReasonKind::NvmeCriticalWarning);
      EXPECT_EQ(1u << a.Reasons[0].Attribute, c.Warning);
    }
  }
}

#ifndef _WIN32  // the terminal program's commands are not in the Windows test build
const char* const kClean = "SAMSUNG_MP0804H--UE100-14";

// The clean captured drive with one slot of its SMART page changed, SMART off.
std::string SimulatedDrive(int number, size_t slot, uint8_t current, uint8_t worst,
                           const std::string& more) {
  const std::array<uint8_t, 512> page = ChangedPage(kClean, slot, current, worst);
  const std::string dir = std::string("drives/") + kClean;
  return R"({"number": )" + std::to_string(number) +
         R"(, "length": 80026361856, "bus_type": 3, "smart_enabled": false, "identify_file": ")" +
         dir + R"(/identify.bin", "thresholds_file": ")" + dir +
         R"(/thresholds.bin", "smart_hex": ")" + test::HexText({page.begin(), page.end()}) + "\"" +
         more + "}";
}

TEST(Health, SmartCommandJudgesSimulatedDrives) {
  SimHost& host = test::UseSimHost(
      R"({"drives": [)" + SimulatedDrive(0, 0, 100, 100, R"(, "smart_return_status": "failed")") +
      ", " + SimulatedDrive(1, 0, 51, 51, "") + ", " + SimulatedDrive(2, 4, 100, 40, "") + ", " +
      SimulatedDrive(3, 0, 100, 100, R"(, "faults": {"send_bytes": 16})") + "]}");
  struct TCase {
    const char* Verdict;
    const char* Status;
    const char* Reasons;
  };
  const TCase cases[] = {
      {"failing", "failed", R"([{"reason": "return_status_failed"}])"},
      {"failing", "passed",
       R"([{"reason": "attribute_failing_now", "attribute": 1, "current": 51, "threshold": 51}])"},
      {"warning", "passed",
       R"([{"reason": "attribute_failed_in_past", "attribute": 7, "worst": 40, "threshold": 51}])"},
      {"good", nullptr, "[]"},  // a reply without the registers is no answer
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    std::ostringstream out, err;
    ASSERT_EQ(CommandSmartJson({std::to_string(i + 1)}, out, err), 0) << err.str();
    const nlohmann::json a = nlohmann::json::parse(out.str())["assessment"];
    EXPECT_EQ(a["verdict"], cases[i].Verdict);
    EXPECT_EQ(a["return_status"],
              cases[i].Status ? nlohmann::json(cases[i].Status) : nlohmann::json(nullptr));
    EXPECT_EQ(a["bad_sectors"], 0);
    EXPECT_EQ(a["reasons"], nlohmann::json::parse(cases[i].Reasons));
  }
  // RETURN STATUS goes while SMART is on, and SMART is switched off again.
  std::vector<uint8_t> features;
  for (const TSimAtaCommand& c : host.Drive(0)->AtaCommands) {
    if (c.Command == win::kATA_SMART) features.push_back(c.Features);
  }
  // The self-test log too, which a drive with SMART off would refuse.
  EXPECT_EQ(features, (std::vector<uint8_t>{0xD8, 0xD0, 0xD1, 0xDA, 0xD5, 0xD9}));
  EXPECT_FALSE(host.Drive(0)->SmartEnabled);

  // The text: the report's lines as they were, then the verdict, then the self-tests.
  std::ostringstream out, err;
  ASSERT_EQ(CommandSmart({"2"}, out, err), 0) << err.str();
  const std::vector<std::string> lines = test::WithoutDateLine(Log_Smart.Lines());
  const std::array<uint8_t, 512> page = ChangedPage(kClean, 0, 51, 51);
  TAtaBlock block;
  std::copy(page.begin(), page.end(), block);
  std::vector<std::string> expected(lines.begin(), lines.begin() + 4);  // the heading
  for (const std::string& line : SmartTableLines(block)) expected.push_back(line);
  for (const char* line : {"健康评估: 故障", "SMART 返回状态: 通过", "坏扇区: 0",
                           "原因:", "  属性 1 (读取错误率): 当前值 51 不高于阈值 51", " "}) {
    expected.push_back(line);
  }
  ASSERT_GT(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
  EXPECT_EQ(lines[expected.size()].rfind("自检: 短测试", 0), 0u) << lines[expected.size()];
  EXPECT_EQ(lines[2].rfind("SMART 数据: [1]  ", 0), 0u) << lines[2];  // drive number 1
}
#endif  // !_WIN32

}  // namespace
}  // namespace quarnel
