#include "erase/FormatFixture.h"

#include <fstream>

#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "erase/FormatEngine.h"
#include "support/TestSupport.h"

namespace quarnel::test {

SimHost& FormatTest::Machine(const std::string& json) {
  host_ = &UseSimHost(json);
  SetUi(&ui_);
  run_.reset();
  ScanDevices();
  EXPECT_GE(DeviceCount, 1);
  SelectedDevice = 1;
  DeviceDescription = GetDeviceDescription(DeviceTable, 1);
  EXPECT_TRUE(OpenSelectedDevice());
  Log_BenchMark.Reset();
  return *host_;
}

SimHost& FormatTest::OneDrive(int64_t length, const std::string& extra) {
  return Machine(R"({"drives": [{"number": 0, "length": )" + std::to_string(length) +
                 R"(, "product": "TESTDISK", "serial": "S1")" + extra + "}]}");
}

TDriveRun& FormatTest::Run() {
  if (!run_) {
    run_ = std::make_unique<TDriveRun>(GetHost(), ui_, DeviceTable[SelectedDevice], DeviceHandle,
                                       DeviceDescription);
    run_->SetFormatClock([this] { return clock_ += tick_; });
  }
  return *run_;
}

void FormatTest::TearDown() {
  run_.reset();
  SetUi(nullptr);
}

std::vector<std::string> FormatTest::Log() const { return MainLogTexts(); }

std::vector<std::string> FormatTest::LogFrom(const std::string& from) const {
  std::vector<std::string> all = Log();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == from) return std::vector<std::string>(all.begin() + i, all.end());
  }
  return {};
}

namespace {
uint8_t PatternByte(int64_t i) { return static_cast<uint8_t>(0x5A ^ (i * 7 + i / 4099)) | 1; }
}  // namespace

void WritePattern(const std::string& path, int64_t size) {
  std::vector<char> bytes(static_cast<size_t>(size));
  for (int64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(PatternByte(i));
  std::ofstream(path, std::ios::binary).write(bytes.data(), size);
}

bool HoldsPattern(const std::vector<uint8_t>& bytes, int64_t begin, int64_t end) {
  if (end > static_cast<int64_t>(bytes.size())) return false;
  for (int64_t i = begin; i < end; ++i) {
    if (bytes[i] != PatternByte(i)) return false;
  }
  return true;
}

bool AllZero(const std::vector<uint8_t>& bytes, int64_t begin, int64_t end) {
  if (end > static_cast<int64_t>(bytes.size())) return false;
  for (int64_t i = begin; i < end; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace quarnel::test
