#include "ReportFixture.h"

#include <gtest/gtest.h>

#include "app/MainStartUp.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "support/TestSupport.h"

namespace quarnel::test {

std::string HexText(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t b : bytes) text += Hex2(b);
  return text;
}

SimHost& OpenReportDrive(const std::string& keys) {
  SimHost& host =
      UseSimHost(R"({"drives": [{"number": 0, "length": 500107862016, )" + keys + "}]}");
  ScanDevices();
  EXPECT_EQ(DeviceCount, 1);
  SelectedDevice = 1;
  EXPECT_TRUE(OpenSelectedDevice());
  // The scan's own requests are not the report's.
  if (TSimDrive* d = host.Drive(0)) {
    d->AtaCommands.clear();
    d->Commands.clear();
  }
  return host;
}

std::vector<std::string> WithoutDateLine(const std::vector<std::string>& lines) {
  std::vector<std::string> rest = lines;
  if (rest.size() > 1) {
    EXPECT_EQ(rest[1].rfind("当前日期和时间: ", 0), 0u) << rest[1];
    rest.erase(rest.begin() + 1);
  }
  return rest;
}

}  // namespace quarnel::test
