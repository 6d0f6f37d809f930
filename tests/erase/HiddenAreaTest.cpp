// Hidden areas on simulated drives: the report's section, the confirmation,
// the lines after a run, the record and the terminal's exit status, for
// drives with a host protected area, a DCO, both, replies that cannot be
// believed, and a bridge that passes no ATA command.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/Logging.h"
#include "cli/CliApp.h"
#include "erase/EraseRecord.h"
#include "erase/FormatFixture.h"
#include "app/MainState.h"
#include "host/HostConstants.h"
#include "reports/DeviceDetails.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

constexpr int64_t kSectors = 131072;  // the sectors the drive reports now: 64 MiB

struct TIdentifyShape {
  bool Lba48 = true;
  bool AccessibleMax = false;
  bool Dco = false;
};

// The captured block of a SATA disk, reshaped: words 82/85 say HPA, 83 the
// 48-bit and DCO feature sets, 119 the accessible-max-address one, and the
// sector count words hold kSectors. The simulated drive keeps word 255's
// checksum valid.
std::string IdentifyHex(const TIdentifyShape& shape) {
  std::vector<uint8_t> b =
      ReadBytes(DriveDataDir("WDC_WD5000AAKS--00TMA0-12.01C01") + "/identify.bin");
  auto put = [&](int word, uint16_t v) {
    b[2 * word] = static_cast<uint8_t>(v);
    b[2 * word + 1] = static_cast<uint8_t>(v >> 8);
  };
  put(82, 0x4000 | 0x0400);
  put(83, static_cast<uint16_t>(0x4000 | (shape.Lba48 ? 0x0400 : 0) | (shape.Dco ? 0x0800 : 0)));
  put(85, 0x4000 | 0x0400);
  put(119, static_cast<uint16_t>(0x4000 | (shape.AccessibleMax ? 0x0100 : 0)));
  put(60, kSectors & 0xFFFF);
  put(61, static_cast<uint16_t>(kSectors >> 16));
  put(100, kSectors & 0xFFFF);
  put(101, static_cast<uint16_t>(kSectors >> 16));
  put(102, 0);
  put(103, 0);
  std::ostringstream hex;
  for (uint8_t byte : b) hex << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 15];
  return hex.str();
}

// A DCO reply whose maximum is `sectors` and whose checksum is off by `skew`.
std::string DcoHex(int64_t sectors, uint8_t skew) {
  std::vector<uint8_t> b(512, 0);
  b[0] = 2;
  for (int i = 0; i < 6; ++i) b[6 + i] = static_cast<uint8_t>((sectors - 1) >> (8 * i));
  b[510] = 0xA5;
  uint8_t sum = 0;
  for (int i = 0; i < 511; ++i) sum = static_cast<uint8_t>(sum + b[i]);
  b[511] = static_cast<uint8_t>(-sum + skew);
  std::ostringstream hex;
  for (uint8_t byte : b) hex << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 15];
  return hex.str();
}

struct TCase {
  const char* Name;
  TIdentifyShape Shape;
  std::string Extra;                 // keys added to the drive
  std::vector<uint8_t> Commands;     // what reached the drive, IDENTIFY aside
  std::vector<std::string> Section;  // the report's section after "隐藏区域:"
  std::vector<std::string> Notes;    // the main log's lines after the run
  bool HasConfirmationLine;
  const char* Coverage;
  int ExitStatus;
};

const std::vector<TCase>& Cases() {
  static const std::vector<TCase> cases = {
      {"hpa",
       {},
       R"(, "hidden_area": {"native_max": 133120})",
       {0x27},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 133,120 (READ NATIVE MAX ADDRESS EXT)", "隐藏扇区 (HPA): 2048",
        "DCO（设备配置覆盖）: 不支持"},
       {"注意: 2048 个扇区位于主机保护区 (HPA)，未被擦除。"},
       true,
       "visible-sectors-only",
       6},
      {"dco",
       {true, true, true},
       R"(, "hidden_area": {"dco_max": 135168})",
       {0x78, 0xB1},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 131,072 (GET NATIVE MAX ADDRESS EXT)", "隐藏扇区 (HPA): 0",
        "DCO 最大扇区: 135,168", "隐藏扇区 (DCO): 4096"},
       {"注意: 4096 个扇区位于设备配置覆盖区 (DCO)，未被擦除。"},
       true,
       "visible-sectors-only",
       6},
      {"both, 28-bit",
       {false, false, true},
       R"(, "hidden_area": {"native_max": 133120, "dco_max": 135168})",
       {0xF8, 0xB1},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 133,120 (READ NATIVE MAX ADDRESS)", "隐藏扇区 (HPA): 2048",
        "DCO 最大扇区: 135,168", "隐藏扇区 (DCO): 2048"},
       {"注意: 2048 个扇区位于主机保护区 (HPA)，未被擦除。",
        "注意: 2048 个扇区位于设备配置覆盖区 (DCO)，未被擦除。"},
       true,
       "visible-sectors-only",
       6},
      {"none hidden",
       {true, false, true},
       "",
       {0x27, 0xB1},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 131,072 (READ NATIVE MAX ADDRESS EXT)", "隐藏扇区 (HPA): 0",
        "DCO 最大扇区: 131,072", "隐藏扇区 (DCO): 0"},
       {},
       false,
       "all-sectors",
       0},
      {"DCO checksum wrong",
       {true, false, true},
       R"(, "hidden_area": {"native_max": 133120, "dco_hex": ")" + DcoHex(1u << 30, 1) + "\"}",
       {0x27, 0xB1},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 133,120 (READ NATIVE MAX ADDRESS EXT)", "隐藏扇区 (HPA): 2048",
        "DCO 最大扇区: 无法确定: DCO 回复的校验和错误", "隐藏扇区 (DCO): 无法确定"},
       {"注意: 2048 个扇区位于主机保护区 (HPA)，未被擦除。",
        "注意: 无法确定设备配置覆盖区 (DCO) 是否隐藏扇区: DCO 回复的校验和错误"},
       true,
       "visible-sectors-only",
       6},
      {"DCO maximum of one sector",
       {true, false, true},
       R"(, "hidden_area": {"dco_hex": ")" + DcoHex(1, 0) + "\"}",
       {0x27, 0xB1},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 131,072 (READ NATIVE MAX ADDRESS EXT)", "隐藏扇区 (HPA): 0",
        "DCO 最大扇区: 无法确定: DCO 最大值 1 小于本机最大值，不可信", "隐藏扇区 (DCO): 无法确定"},
       {"注意: 无法确定设备配置覆盖区 (DCO) 是否隐藏扇区: DCO 最大值 1 小于本机最大值，不可信"},
       false,
       "undetermined",
       0},
      {"bridge refusing the commands",
       {true, false, true},
       R"(, "hidden_area": {"native_max": 133120}, "faults": {"ata_pass_through": 1})",
       {},
       {"当前扇区: 131,072", "HPA（主机保护区）: 支持，已启用",
        "本机最大扇区: 无法确定: ATA 直通请求被拒绝 (READ NATIVE MAX ADDRESS EXT): "
        "Incorrect function",
        "隐藏扇区 (HPA): 无法确定", "DCO 最大扇区: 无法确定: 本机最大值未知，无法核对 DCO",
        "隐藏扇区 (DCO): 无法确定"},
       {"注意: 无法确定驱动器是否隐藏扇区 (HPA/DCO): ATA 直通请求被拒绝 (READ NATIVE MAX "
        "ADDRESS EXT): Incorrect function"},
       false,
       "undetermined",
       0},
  };
  return cases;
}

std::string DriveJson(const TCase& c) {
  return R"({"number": 0, "length": )" + std::to_string(kSectors * 512) +
         R"(, "bus_type": 11, "product": "HIDDEN", "serial": "H1", "identify_hex": ")" +
         IdentifyHex(c.Shape) + "\"" + c.Extra + "}";
}

std::vector<std::string> After(const std::vector<std::string>& lines, const std::string& first) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == first) return {lines.begin() + static_cast<long>(i) + 1, lines.end()};
  }
  return {};
}

TEST_F(FormatTest, HiddenAreasAreReportedNamedKeptAndNoted) {
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    Machine(R"({"drives": [)" + DriveJson(c) + "]}");
    Log_Details.Reset();
    ShowDeviceDetails();
    EXPECT_EQ(After(Log_Details.Lines(), "隐藏区域:"), c.Section);

    ui_.Dialogs.clear();
    ASSERT_TRUE(Run().FormatSelectedDevice());
    ASSERT_EQ(ui_.Dialogs.size(), 1u);
    EXPECT_EQ(ui_.Dialogs[0].Content.find("本次擦除不会触及它们") != std::string::npos,
              c.HasConfirmationLine)
        << ui_.Dialogs[0].Content;
    // The notes follow the run's last line, before the closing reminder.
    std::vector<std::string> notes = After(Log(), "低级格式完成。");
    ASSERT_GE(notes.size(), 2u);
    notes.resize(notes.size() - 2);
    EXPECT_EQ(notes, c.Notes);

    const TEraseRecord& r = Run().LastEraseRecord();
    EXPECT_EQ(r.Outcome, TEraseOutcome::Complete);
    EXPECT_TRUE(r.HiddenArea.Applies);
    EXPECT_EQ(SectorCoverage(r), std::string(c.Coverage));
    EXPECT_EQ(r.HiddenArea.CurrentMax, kSectors);

    // Only the read-only queries reached the drive: nothing that sets a maximum.
    std::vector<uint8_t> sent;
    for (const TSimAtaCommand& a : Drive().AtaCommands) {
      if (a.Request == win::kIOCTL_ATA_PASS_THROUGH && a.Accepted) sent.push_back(a.Command);
    }
    std::vector<uint8_t> twice = c.Commands;  // once for the report, once for the run
    twice.insert(twice.end(), c.Commands.begin(), c.Commands.end());
    EXPECT_EQ(sent, twice);
  }
}

TEST_F(FormatTest, HiddenAreaRecordHoldsTheMaximaOrWhyNot) {
  Machine(R"({"drives": [)" + DriveJson(Cases()[2]) + "]}");
  ASSERT_TRUE(Run().FormatSelectedDevice());
  const THiddenArea& both = Run().LastEraseRecord().HiddenArea;
  EXPECT_TRUE(both.Determined);
  EXPECT_EQ(both.NativeMax, 133120);
  EXPECT_EQ(both.DcoMax, 135168);
  EXPECT_EQ(both.HiddenSectors(), 4096);

  Machine(R"({"drives": [)" + DriveJson(Cases()[6]) + "]}");
  ASSERT_TRUE(Run().FormatSelectedDevice());
  const THiddenArea& bridged = Run().LastEraseRecord().HiddenArea;
  EXPECT_FALSE(bridged.Determined);
  EXPECT_EQ(bridged.NativeMax, -1);
  EXPECT_EQ(bridged.DcoMax, -1);
  EXPECT_NE(bridged.Reason.find("Incorrect function"), std::string::npos);
}

TEST(HiddenAreaCli, AFullRunOverAnHpaEndsWithItsOwnStatusAndLine) {
  TTempFolder dir("hidden-cli");
  const std::string machine = (dir.Path() / "machine.json").string();
  for (const TCase* c : {&Cases()[0], &Cases()[3]}) {
    SCOPED_TRACE(c->Name);
    std::ofstream(machine) << R"({"drives": [)" << DriveJson(*c) << "]}";
    std::istringstream in;
    std::ostringstream out, err;
    const int status = RunCli("quarnel-cli", {"--simulate=" + machine, "format", "1", "--yes"}, out,
                              err, {&in, false, false});
    EXPECT_EQ(status, c->ExitStatus) << err.str();
    std::istringstream lines(out.str());
    std::string line, last;
    while (std::getline(lines, line)) last = line;
    EXPECT_EQ(last == "visible-sectors-only: 2048 hidden sectors (HPA/DCO) were not erased",
              c->ExitStatus == 6)
        << out.str();
  }
  SetHost(nullptr);
}

}  // namespace
}  // namespace quarnel::test
