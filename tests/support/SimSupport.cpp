#include "support/SimSupport.h"

#include <cstdio>
#include <cstdlib>

#include "app/StartUp.h"
#include "base/Logging.h"

namespace quarnel::test {

SimHost& UseSimHost(const std::string& json) {
  ResetProcessState();
  std::string error;
  auto host = SimHost::FromJson(json, QUARNEL_TEST_DATA, &error);
  if (!host) {
    std::fprintf(stderr, "bad description: %s\n%s\n", error.c_str(), json.c_str());
    std::abort();
  }
  SimHost& ref = *host;
  SetHost(std::move(host));
  return ref;
}

std::string SimDrive(int number, int64_t sectors, bool ata, const std::string& extra) {
  const std::string dir = "drives/WDC_WD5000AAKS--00TMA0-12.01C01/";
  const std::string n = std::to_string(number);
  std::string json = R"({"number": )" + n + R"(, "length": )" + std::to_string(sectors * 512) +
                     R"(, "product": "Disk)" + n + R"(  ", "revision": " R1 ", "serial": "SN)" +
                     n + "\"";
  if (ata) {
    json += R"(, "bus_type": 11, "identify_file": ")" + dir + R"(identify.bin", "smart_file": ")" +
            dir + R"(smart.bin")";
  }
  return json + extra + "}";
}

std::string SimMachine(const std::vector<std::string>& drives, int major) {
  std::string json =
      R"({"platform": {"platform_id": 2, "major": )" + std::to_string(major) +
      R"(, "minor": 1, "build": 7601, "service_pack": "", "wow64": true}, "drives": [)";
  for (size_t i = 0; i < drives.size(); ++i) json += (i ? "," : "") + drives[i];
  return json + "]}";
}

namespace {
std::vector<std::string> Texts(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  for (const std::string& line : lines) {
    const size_t at = line.find("   ");
    texts.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return texts;
}
}  // namespace

std::vector<std::string> DebugTexts() {
  std::vector<std::string> lines(DebugMemo.Lines().begin() + 1, DebugMemo.Lines().end());
  return Texts(lines);
}

std::vector<std::string> MainLogTexts() { return Texts(Log_BenchMark.Lines()); }

}  // namespace quarnel::test
