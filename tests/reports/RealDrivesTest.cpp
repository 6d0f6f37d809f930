// The decoder and both reports on the captured drives, against two
// independent decoders run here: hdparm --Istdin and skdump --load.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ReportFixture.h"
#include "ata/IdentifyDecode.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

bool HaveTool(const std::string& name) {
  std::string out, err;
  return test::RunCommand("command -v " + name, &out, &err) == 0;
}

std::string Run(const std::string& command) {
  std::string out, err;
  EXPECT_EQ(test::RunCommand(command, &out, &err), 0) << command << "\n" << err;
  return out;
}

// hdparm's view of an IDENTIFY block: its "Name: value" lines, and every
// feature line of its command list with its enabled mark.
struct THdparm {
  std::map<std::string, std::string> Values;
  std::map<std::string, bool> Features;  // name -> enabled
  std::vector<std::string> SecurityLines;
};

THdparm Hdparm(const std::vector<uint8_t>& block) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("quarnel-identify-" + std::to_string(::getpid())))
          .string();
  {
    std::ofstream words(file);
    char word[8];
    for (size_t i = 0; i < block.size(); i += 2) {
      std::snprintf(word, sizeof word, "%04x ", block[i] | (block[i + 1] << 8));
      words << word;
    }
  }
  std::istringstream in(Run("hdparm --Istdin < " + file));
  std::filesystem::remove(file);
  THdparm h;
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '\t') section = line;
    const size_t colon = line.find(':');
    if (line.find("cache/buffer size") != std::string::npos) {
      h.Values["cache/buffer size"] = Trim(line.substr(line.find('=') + 1));
    } else if (colon != std::string::npos) {
      h.Values[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
    }
    if (section.rfind("Commands/features", 0) == 0 && line.rfind("\t   ", 0) == 0) {
      h.Features[line.substr(6)] = line[4] == '*';
    }
    if (section.rfind("Security:", 0) == 0 && line.rfind("\t", 0) == 0) {
      h.SecurityLines.push_back(Trim(line));
    }
  }
  return h;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Digits(const std::string& text) {
  std::string d;
  for (char c : text) {
    if (c >= '0' && c <= '9') d += c;
  }
  return d;
}

std::string LineAfter(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& l : lines) {
    if (l.rfind(prefix, 0) == 0) return l.substr(prefix.size());
  }
  return "(no line " + prefix + ")";
}

std::string DriveKeys(const std::string& name) {
  const std::string dir = "drives/" + name;
  return R"("bus_type": 3, "identify_file": ")" + dir + R"(/identify.bin", "smart_file": ")" + dir +
         R"(/smart.bin")";
}

void CompareIdentify(const std::string& name) {
  const std::vector<uint8_t> block = test::ReadBytes(test::DriveDataDir(name) + "/identify.bin");
  ASSERT_EQ(block.size(), 512u);
  const THdparm h = Hdparm(block);
  uint8_t b[512];
  std::copy(block.begin(), block.end(), b);
  const T_IDE_PASSPORT p = DecodeIdentifyData(b);
  EXPECT_EQ(p.name, h.Values.at("Model Number"));
  EXPECT_EQ(p.sn, h.Values.at("Serial Number"));
  EXPECT_EQ(p.fw, h.Values.at("Firmware Revision"));
  const int64_t lba28 = std::stoll(h.Values.at("LBA    user addressable sectors"));
  EXPECT_EQ(p.lba28sectors, lba28);
  const auto lba48 = h.Values.find("LBA48  user addressable sectors");
  if (lba48 != h.Values.end() && std::stoll(lba48->second) > lba28) {
    EXPECT_TRUE(p.lba48support);
    EXPECT_EQ(p.lba48sectors, std::stoll(lba48->second));
  } else {
    EXPECT_FALSE(p.lba48support);
  }
  // "16384 KBytes (type=...)" or "unknown".
  const std::string cache = h.Values.at("cache/buffer size");
  EXPECT_EQ(p.buffersize, cache == "unknown" ? 0 : std::stoul(cache) * 1024);
  const auto features = [&](const std::string& f) { return h.Features.count(f) != 0; };
  EXPECT_EQ(p.smartsupport, features("SMART feature set"));
  EXPECT_EQ(p.smartenabled, features("SMART feature set") && h.Features.at("SMART feature set"));
  EXPECT_EQ(p.securitysupport, features("Security Mode feature set"));
  EXPECT_EQ(p.hpasupport, features("Host Protected Area feature set"));
  EXPECT_EQ(p.aamsupport, features("Automatic Acoustic Management feature set"));
  // hdparm names word 84 bit 4 (streaming) "Media Card Pass-Through".
  EXPECT_EQ(p.StreamingSupported, features("Media Card Pass-Through"));
  if (p.securitysupport) {
    EXPECT_EQ(p.locked, HasLine(h.SecurityLines, "enabled"));
  }
  // hdparm prints the depth as the low five bits plus one, only when non-zero.
  const auto depth = h.Values.find("Queue depth");
  EXPECT_EQ(p.QueueDepth > 0, depth != h.Values.end());
  if (depth != h.Values.end()) {
    EXPECT_EQ((p.QueueDepth & 0x1F) + 1, std::stoll(depth->second));
  }
}

TEST(RealDrives, DecoderAndDetailsReportAgreeWithHdparm) {
  if (!HaveTool("hdparm")) GTEST_SKIP() << "hdparm is not installed (scripts/ensure-deps.sh)";
  for (const std::string& name : test::CapturedDrives()) {
    SCOPED_TRACE(name);
    CompareIdentify(name);
    const std::vector<uint8_t> block = test::ReadBytes(test::DriveDataDir(name) + "/identify.bin");
    const THdparm h = Hdparm(block);
    test::OpenReportDrive(DriveKeys(name));
    ShowDeviceDetails();
    const std::vector<std::string>& lines = Log_Details.Lines();
    EXPECT_EQ(LineAfter(lines, "型号: "), h.Values.at("Model Number"));
    EXPECT_EQ(LineAfter(lines, "序列号: "), h.Values.at("Serial Number"));
    EXPECT_EQ(LineAfter(lines, "固件修订: "), h.Values.at("Firmware Revision"));
    EXPECT_EQ(Digits(LineAfter(lines, "LBA 命令可用扇区: ")),
              h.Values.at("LBA    user addressable sectors"));
    const std::string cache = h.Values.at("cache/buffer size");
    if (cache == "unknown") {
      EXPECT_EQ(LineAfter(lines, "缓冲大小: ").rfind("(no line", 0), 0u);
    } else {
      EXPECT_EQ(LineAfter(lines, "缓冲大小: "), SizeToStr(std::stoll(cache) * 1024));
    }
    EXPECT_EQ(HasLine(lines, "支持 SMART"), h.Features.count("SMART feature set") == 1);
    EXPECT_EQ(HasLine(lines, "支持安全功能"), h.Features.count("Security Mode feature set") == 1);
    EXPECT_EQ(HasLine(lines, "支持 HPA（主机保护区）"),
              h.Features.count("Host Protected Area feature set") == 1);
    EXPECT_EQ(HasLine(lines, "支持 AAM（自动声学管理）"),
              h.Features.count("Automatic Acoustic Management feature set") == 1);
    const auto depth = h.Values.find("Queue depth");
    if (depth != h.Values.end()) {
      EXPECT_EQ(LineAfter(lines, "最大队列深度"), depth->second);
    } else {
      EXPECT_TRUE(HasLine(lines, "设备不支持命令队列"));
    }
  }
}

struct TAttribute {
  int Id = 0;
  std::string Current, Worst;  // decimal, or "n/a" where skdump calls it invalid
  uint64_t Raw = 0;
};

// skdump's attribute table: "ID# Name Value Worst Thres Pretty Raw ...", the
// raw value as 0x and the six raw bytes in page order.
std::vector<TAttribute> Skdump(const std::string& blob) {
  std::istringstream in(Run("skdump --load=" + blob));
  std::vector<TAttribute> table;
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line.rfind("ID#", 0) == 0) {
      inTable = true;
      continue;
    }
    if (!inTable) continue;
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 6) continue;
    TAttribute a;
    a.Id = std::stoi(f[0]);
    a.Current = f[2];
    a.Worst = f[3];
    for (const std::string& w : f) {
      if (w.rfind("0x", 0) != 0 || w.size() != 14) continue;
      for (int i = 5; i >= 0; --i)
        a.Raw = (a.Raw << 8) | std::stoul(w.substr(2 + 2 * i, 2), nullptr, 16);
    }
    table.push_back(a);
  }
  return table;
}

// A report row read back: id, current, worst, raw (the note of 194 removed).
TAttribute ParseRow(std::string row) {
  const size_t note = row.find("  (");
  if (note != std::string::npos) row.resize(note);
  std::istringstream fields(row);
  std::vector<std::string> f;
  for (std::string w; fields >> w;) f.push_back(w);
  TAttribute a;
  a.Id = std::stoi(f.at(0));
  a.Current = f.at(f.size() - 3);
  a.Worst = f.at(f.size() - 2);
  a.Raw = std::stoull(f.back());
  return a;
}

void ExpectSameValue(const std::string& ours, const std::string& skdump) {
  // skdump calls 0, 254 and 255 invalid and shows "n/a".
  if (skdump == "n/a") {
    EXPECT_TRUE(ours == "0" || ours == "254" || ours == "255") << ours;
  } else {
    EXPECT_EQ(ours, skdump);
  }
}

TEST(RealDrives, SmartReportAgreesWithSkdump) {
  if (!HaveTool("skdump")) GTEST_SKIP() << "skdump is not installed (scripts/ensure-deps.sh)";
  for (const std::string& name : test::CapturedDrives()) {
    SCOPED_TRACE(name);
    const std::vector<TAttribute> expected = Skdump(test::DriveDataDir(name) + "/drive.blob");
    ASSERT_FALSE(expected.empty());
    test::OpenReportDrive(DriveKeys(name));
    ShowSmartData();
    const std::vector<std::string>& lines = Log_Smart.Lines();
    ASSERT_GE(lines.size(), 8u);
    ASSERT_EQ(lines[6], std::string(88, '-'));
    std::vector<TAttribute> rows;
    for (size_t i = 7; i + 1 < lines.size(); ++i) rows.push_back(ParseRow(lines[i]));
    // skdump lists every used slot; the report stops at the first empty one.
    ASSERT_LE(rows.size(), expected.size());
    ASSERT_LE(rows.size(), 30u);
    if (rows.size() < expected.size() && rows.size() < 30) {
      const std::vector<uint8_t> page = test::ReadBytes(test::DriveDataDir(name) + "/smart.bin");
      EXPECT_EQ(page[2 + 12 * rows.size()], 0) << "the table stopped before an empty slot";
    }
    for (size_t k = 0; k < rows.size(); ++k) {
      SCOPED_TRACE(rows[k].Id);
      EXPECT_EQ(rows[k].Id, expected[k].Id);
      ExpectSameValue(rows[k].Current, expected[k].Current);
      ExpectSameValue(rows[k].Worst, expected[k].Worst);
      EXPECT_EQ(rows[k].Raw, expected[k].Raw);
      const bool note = lines[7 + k].find(" 度) ") != std::string::npos;
      EXPECT_EQ(note, rows[k].Id == 194);
      if (note) {
        EXPECT_NE(lines[7 + k].find("  (" + std::to_string(expected[k].Raw & 0xFF) + " 度) "),
                  std::string::npos);
      }
    }
  }
}

}  // namespace
}  // namespace quarnel
