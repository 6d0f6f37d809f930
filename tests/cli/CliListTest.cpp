#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/Text.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;

class CliList : public ::testing::Test {
 protected:
  std::string Describe(const std::string& json) {
    const fs::path file = dir_ / "machine.json";
    std::ofstream(file) << json;
    return file.string();
  }

  int Run(const std::string& args) {
    return test::RunCommand(std::string("LC_ALL=C ") + QUARNEL_CLI_PATH + " " + args, &out_, &err_);
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static size_t CountLinesEndingIn(const std::string& text, const std::string& tail) {
    size_t n = 0;
    for (const std::string& line : Lines(text)) {
      if (line.size() >= tail.size() &&
          line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
        ++n;
    }
    return n;
  }

  test::TTempFolder dir_{"cli"};
  std::string out_, err_;
};

const char* const kThreeDrives = R"({"drives": [
  {"number": 0, "length": 500107862016, "bus_type": 11, "product": "XD500-AB1",
   "revision": "1.02", "serial": "5XA0TEST", "volumes": [{"root": "C:", "partition": 1}]},
  {"number": 1, "length": 8004304896, "bus_type": 7, "vendor": "Kingmax", "product": "Flash Disk",
   "revision": "PMAP", "serial": "0123"},
  {"number": 3, "length": 16777216, "bus_type": 13}
]})";

TEST_F(CliList, ListsDrivesWithGapsAndLogsEverySkippedNumber) {
  ASSERT_EQ(Run("--simulate=" + Describe(kThreeDrives) + " --debug list"), 0) << err_;
  const auto lines = Lines(out_);
  EXPECT_EQ(lines.back(), "找到磁盘: 3");
  const std::vector<std::string> rows(lines.end() - 5, lines.end() - 1);
  EXPECT_EQ(rows[0], "#\tbus\tmodel (volumes)\tfirmware\tserial\tsectors\tcapacity\tpath");
  EXPECT_EQ(rows[1],
            "1\tSATA\tXD500-AB1 (C:)\t1.02\t5XA0TEST\t976773168\t500.1 GB\t\\\\.\\PhysicalDrive0");
  EXPECT_EQ(rows[2],
            "2\tUSB\tKingmax Flash Disk\tPMAP\t0123\t15633408\t8004.3 MB\t\\\\.\\PhysicalDrive1");
  EXPECT_EQ(rows[3],
            "3\tMMC\tStorage Device\t0000\t000000\t32768\t16.77 MB\t\\\\.\\PhysicalDrive3");
  // Drive 2 and every number from 4 to 255.
  EXPECT_EQ(CountLinesEndingIn(err_, "   Invalid handle, skipping"), 253u);
  EXPECT_EQ(CountLinesEndingIn(err_, "   Trying device \\\\.\\PhysicalDrive2"), 1u);
  EXPECT_EQ(CountLinesEndingIn(err_, "   Debug mode activated"), 1u);
  EXPECT_EQ(CountLinesEndingIn(err_, "   Platform: 6.1.7601   Service Pack 1  (32 bit)"), 1u);
  // In debug mode the partition listing writes to the main log on standard output.
  EXPECT_EQ(CountLinesEndingIn(out_, "   Looking for partitions..."), 3u);
}

// A drive's texts and a mount point reach the terminal as visible escapes:
// no escape sequence is sent, no row is split.
// At a terminal the columns line up under the header, a CJK character
// counting two; piped, the same cells stay tab-separated for scripts.
TEST_F(CliList, TerminalLinesColumnsUpPipesKeepTabs) {
  const std::string machine = Describe(R"({"drives": [
    {"number": 0, "length": 500107862016, "bus_type": 11, "product": "Modèle Extra Long",
     "serial": "S1", "volumes": [{"root": "C:", "partition": 1}]},
    {"number": 1, "length": 1000, "bus_type": 7, "product": "X", "serial": "SERIAL-TWO"}]})");
  ASSERT_EQ(Run("--simulate=" + machine + " list"), 0) << err_;
  const auto piped = Lines(out_);
  ASSERT_GE(piped.size(), 3u);
  EXPECT_EQ(piped[0], "#\tbus\tmodel (volumes)\tfirmware\tserial\tsectors\tcapacity\tpath");
  EXPECT_EQ(piped[1].rfind("1\tSATA\tModèle Extra Long (C:)\t", 0), 0u) << piped[1];

  if (test::RunCommand("command -v script", &out_, &err_) != 0) {
    GTEST_SKIP() << "no script(1) to give the program a terminal";
  }
  const std::string command = std::string("LC_ALL=C.UTF-8 script -qec '") + QUARNEL_CLI_PATH +
                              " --simulate=" + machine + " list' /dev/null";
  ASSERT_EQ(test::RunCommand(command, &out_, &err_), 0) << err_;
  std::vector<std::string> rows;
  for (std::string line : Lines(out_)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && (line[0] == '#' || std::isdigit(static_cast<unsigned char>(line[0]))))
      rows.push_back(line);
  }
  ASSERT_EQ(rows.size(), 3u) << out_;
  const auto column = [](const std::string& line, const std::string& cell) {
    const size_t at = line.find(cell);
    return at == std::string::npos ? std::string::npos : DisplayWidth(line.substr(0, at));
  };
  EXPECT_EQ(rows[0].find('\t'), std::string::npos);
  EXPECT_EQ(column(rows[1], "S1"), column(rows[0], "serial"));
  EXPECT_EQ(column(rows[2], "SERIAL-TWO"), column(rows[0], "serial"));
  // The small drive's capacity is given in 字节, two columns a character.
  ASSERT_NE(rows[2].find("字节"), std::string::npos) << rows[2];
  EXPECT_EQ(column(rows[2], "\\\\.\\PhysicalDrive1"), column(rows[0], "path"));
}

TEST_F(CliList, DeviceTextsCannotSteerTheTerminal) {
  const std::string machine = Describe(R"({"drives": [{"number": 0, "length": 500107862016,
      "product": "EVIL\u001b[2J\u001b]0;pwned\u0007!", "revision": "1\u009b2", "serial": "S\u007f1",
      "volumes": [{"root": "/mnt/a\nb", "partition": 1}]}]})");
  ASSERT_EQ(Run("--simulate=" + machine + " --debug list"), 0) << err_;
  EXPECT_EQ(out_.find('\x1b'), std::string::npos);
  EXPECT_EQ(err_.find('\x1b'), std::string::npos);
  const auto lines = Lines(out_);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2],
            "1\tSATA\tEVIL\\x1b[2J\\x1b]0;pwned\\x07! (/mnt/a\\x0ab)\t1\\x9b2\tS\\x7f1\t976773168\t"
            "500.1 GB\t\\\\.\\PhysicalDrive0");
}

TEST_F(CliList, DebugIsAcceptedAnywhereAndOffWithoutIt) {
  ASSERT_EQ(Run("list --simulate=" + Describe(kThreeDrives) + " --DEBUG"), 0) << err_;
  EXPECT_EQ(CountLinesEndingIn(err_, "   Debug mode activated"), 1u);
  ASSERT_EQ(Run("--simulate=" + Describe(kThreeDrives) + " list"), 0) << err_;
  EXPECT_EQ(err_, "");
  EXPECT_EQ(Lines(out_).size(), 5u);
}

TEST_F(CliList, DemoMachine) {
  ASSERT_EQ(Run("--simulate list"), 0) << err_;
  const auto lines = Lines(out_);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1],
            "1\tSATA\tWDC WD5000AAKS-00TMA0 (C: E:)\t12.01C01\tWD-WCAPW0493929\t976773168\t500.1 "
            "GB\t\\\\.\\PhysicalDrive0");
  // The stick's serial arrives as 40 hexadecimal digits and is recovered.
  EXPECT_EQ(lines[2],
            "2\tUSB\tKingmax Flash Disk (F:)\tPMAP\tAA00000000000497\t15633408\t8004.3 "
            "MB\t\\\\.\\PhysicalDrive1");
  EXPECT_EQ(lines[5], "找到磁盘: 4");
}

TEST_F(CliList, RefusedDeviceQueryEndsWithTheMessage) {
  const std::string file = Describe(R"({"drives": [
    {"number": 0, "length": 1048576, "faults": {"device": 5}},
    {"number": 1, "length": 1048576}]})");
  EXPECT_NE(Run("--simulate=" + file + " list"), 0);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "Error: Error accessing device: Access is denied\n");
}

TEST_F(CliList, PlatformOutsideTheNtFamilyIsRefused) {
  const std::string file = Describe(R"({"platform": {"platform_id": 1}, "drives": []})");
  EXPECT_NE(Run("--simulate=" + file + " list"), 0);
  EXPECT_EQ(out_, "");
  EXPECT_NE(
      err_.find("Only the following versions of Windows are supported: 2003, 2008, XP, Vista, 7"),
      std::string::npos);
}

TEST_F(CliList, AMissingSetupLibraryEndsTheStart) {
  const std::string file = Describe(R"({"platform": {"setup_api": false}, "drives": []})");
  EXPECT_EQ(Run("--simulate=" + file + " list"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "Error: Error #01704\n");
}

TEST_F(CliList, BadDescriptionsAreNamed) {
  EXPECT_EQ(Run("--simulate=" + Describe(R"({"drives": [{"number": 0, "lenght": 5}]})") + " list"),
            1);
  EXPECT_NE(err_.find("unknown key \"lenght\""), std::string::npos) << err_;
  EXPECT_EQ(Run("--simulate=" + Describe("{\"drives\": [") + " list"), 1);
  EXPECT_NE(err_.find("not valid JSON"), std::string::npos) << err_;
  EXPECT_EQ(Run("--simulate=" + (dir_ / "missing.json").string() + " list"), 1);
  EXPECT_NE(err_.find("cannot read"), std::string::npos) << err_;
  EXPECT_EQ(out_, "");
}

TEST_F(CliList, OptionsVersionHelpAndMistakes) {
  EXPECT_EQ(Run("--version"), 0);
  EXPECT_EQ(out_, "Quarnel 4.40\n");
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(out_.find("--simulate[=FILE]"), std::string::npos);
  EXPECT_EQ(Run("--simulate --frobnicate list"), 2);
  EXPECT_NE(err_.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_EQ(Run("--simulate"), 2);
  EXPECT_NE(err_.find("no command"), std::string::npos);
  EXPECT_EQ(Run("--simulate erase"), 2);
  EXPECT_NE(err_.find("unknown command erase"), std::string::npos);
  // A command takes what it takes, and an option is never read as a drive.
  for (const char* args :
       {"list extra", "list -v", "details", "smart 1 2", "format 1 -q", "format"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(std::string("--simulate ") + args), 2);
    EXPECT_NE(err_.find("Usage:"), std::string::npos) << err_;
  }
}

// --json: one document on standard output, also with --debug (whose main-log
// lines then go to standard error), with typed values from the drives' data.
TEST_F(CliList, JsonListDetailsAndSmartOfTheDemoMachine) {
  ASSERT_EQ(Run("--simulate --debug list --json"), 0) << err_;
  nlohmann::json j = nlohmann::json::parse(out_);
  ASSERT_EQ(j["drives"].size(), 4u);
  const nlohmann::json& sata = j["drives"][0];
  EXPECT_EQ(sata["number"], 1);
  EXPECT_EQ(sata["bus"], "SATA");
  EXPECT_EQ(sata["serial"], "WD-WCAPW0493929");
  EXPECT_EQ(sata["wwn"], "50014ee2002a560a");
  EXPECT_EQ(sata["sectors"], 976773168);
  EXPECT_EQ(sata["capacity"], 500107862016);
  EXPECT_EQ(sata["volumes"], nlohmann::json::parse(R"(["C:", "E:"])"));
  EXPECT_EQ(sata["path"], "\\\\.\\PhysicalDrive0");
  EXPECT_TRUE(j["drives"][1]["wwn"].is_null());  // a USB stick answers no IDENTIFY
  EXPECT_EQ(j["drives"][3]["wwn"], "001b364d454d4f01");
  EXPECT_EQ(j["status"], "找到磁盘: 4");

  ASSERT_EQ(Run("--simulate details 1 --json"), 0) << err_;
  j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["protocol"], "ata");
  EXPECT_TRUE(j["available"].get<bool>());
  EXPECT_EQ(j["ata"]["lba48"]["sectors"], 976773168);
  EXPECT_EQ(j["ata"]["security"]["level"], nullptr);
  EXPECT_EQ(j["ata"]["queue"]["max_depth"], 32);
  EXPECT_EQ(j["hidden_area"]["native_max"], 978870320);
  EXPECT_EQ(j["hidden_area"]["hidden_sectors"], 2097152);
  EXPECT_TRUE(j["firmware_erase"]["methods"].is_array());
  EXPECT_TRUE(j["nvme"].is_null());

  ASSERT_EQ(Run("--simulate details 4 --json"), 0) << err_;
  j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["nvme"]["namespace"]["eui64"], "001b364d454d4f01");
  EXPECT_EQ(j["nvme"]["namespace"]["capacity"], 512110190592);
  EXPECT_EQ(j["firmware_erase"]["methods"][0]["name"], "block");
  EXPECT_TRUE(j["hidden_area"].is_null());

  ASSERT_EQ(Run("--simulate smart 1 --json"), 0) << err_;
  j = nlohmann::json::parse(out_);
  ASSERT_TRUE(j["attributes"].is_array());
  const nlohmann::json* temperature = nullptr;
  for (const nlohmann::json& a : j["attributes"]) {
    if (a["id"] == 194) temperature = &a;
  }
  ASSERT_NE(temperature, nullptr);
  EXPECT_EQ((*temperature)["raw"], 0x28);
  EXPECT_EQ((*temperature)["raw_bytes"], "280000000000");
  EXPECT_EQ((*temperature)["temperature_celsius"], 40);
  EXPECT_TRUE((*temperature)["threshold"].is_null());  // the demo drive has no thresholds page

  ASSERT_EQ(Run("--simulate smart 4 --json"), 0) << err_;
  j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["health"]["temperature_celsius"], 38);
  EXPECT_EQ(j["health"]["data_units_read"], 12345678);
  EXPECT_EQ(j["health"]["temperature_sensors"][1]["celsius"], 45);
}

TEST_F(CliList, WwnNamesADriveOrIsRefusedWithTheList) {
  ASSERT_EQ(Run("--simulate details wwn:0x50014EE2002A560A --json"), 0) << err_;
  EXPECT_EQ(nlohmann::json::parse(out_)["drive"]["number"], 1);
  EXPECT_EQ(Run("--simulate smart wwn:50014ee2002a560b --json"), 1);
  EXPECT_EQ(out_, "");
  EXPECT_NE(err_.find("no drive wwn:50014ee2002a560b in the list; these were found:\n"
                      "  1  WDC WD5000AAKS-00TMA0  serial WD-WCAPW0493929  wwn 50014ee2002a560a  "),
            std::string::npos)
      << err_;
  // Two drives with the same WWN: neither is picked.
  const std::string twins = Describe(R"({"drives": [
    {"number": 0, "length": 8004304896, "bus_type": 17, "nvme_identify_ns_hex": ")" +
                                     std::string(8192, '0') +
                                     R"(", "wwn": "0011223344556677"},
    {"number": 1, "length": 8004304896, "bus_type": 17, "nvme_identify_ns_hex": ")" +
                                     std::string(8192, '0') + R"(", "wwn": "0011223344556677"}]})");
  EXPECT_EQ(Run("--simulate=" + twins + " details wwn:0011223344556677"), 1);
  EXPECT_NE(err_.find("more than one drive is wwn:0011223344556677"), std::string::npos) << err_;
}

// Control characters in drive texts and mount points come out escaped, as
// the texts show them; the document stays one valid JSON value.
TEST_F(CliList, JsonKeepsControlCharactersOut) {
  const std::string machine = Describe(R"({"drives": [{"number": 0, "length": 500107862016,
      "product": "EVIL\u001b[2J\u009b", "serial": "S\u007f1",
      "volumes": [{"root": "/mnt/a\nb", "partition": 1}]}]})");
  ASSERT_EQ(Run("--simulate=" + machine + " list --json"), 0) << err_;
  const nlohmann::json j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["drives"][0]["model"], "EVIL\\x1b[2J\\x9b");
  EXPECT_EQ(j["drives"][0]["serial"], "S\\x7f1");
  EXPECT_EQ(j["drives"][0]["volumes"][0], "/mnt/a\\x0ab");
}

// A model holding the four characters \x01 is not the one holding byte 01.
TEST_F(CliList, JsonTellsAnEscapeFromTheCharactersOfOne) {
  const std::string machine = Describe(R"({"drives": [
      {"number": 0, "length": 67108864, "product": "A\u0001B", "serial": "S1"},
      {"number": 1, "length": 67108864, "product": "A\\x01B", "serial": "S2"}]})");
  ASSERT_EQ(Run("--simulate=" + machine + " list --json"), 0) << err_;
  const nlohmann::json j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["drives"][0]["model"], "A\\x01B");
  EXPECT_EQ(j["drives"][1]["model"], "A\\\\x01B");
}

}  // namespace
}  // namespace quarnel

namespace quarnel {
namespace {

// A rack holds more than the desktop's fifteen drives: the terminal lists
// them all, and names the last by its number.
TEST_F(CliList, TerminalListsEveryDriveOfARack) {
  std::string machine = R"({"drives": [)";
  for (int i = 0; i < 20; ++i) {
    machine += std::string(i ? "," : "") + R"({"number": )" + std::to_string(i) +
               R"(, "length": 67108864, "serial": "R)" + std::to_string(i) + "\"}";
  }
  const std::string file = Describe(machine + "]}");
  ASSERT_EQ(Run("--simulate=" + file + " list"), 0) << err_;
  EXPECT_EQ(Lines(out_).back(), "找到磁盘: 20");
  ASSERT_EQ(Run("--simulate=" + file + " details 20"), 0) << err_;
  EXPECT_NE(out_.find("设备详细信息: [20]"), std::string::npos) << out_;
}

}  // namespace
}  // namespace quarnel
