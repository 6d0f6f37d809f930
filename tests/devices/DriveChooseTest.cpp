#include <gtest/gtest.h>

#include <limits>

#include "devices/DriveChoose.h"
#include "support/TestSupport.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

TEST(DriveListRow, CapacityLeftEmptyWhenTheProductOverflows) {
  TDeviceTable entry;
  entry.IdentifyData.Model = "  Big  ";
  entry.IdentifyData.LBA = std::numeric_limits<int64_t>::max() / 256;
  entry.IdentifyData.SectorSize = 512;
  const TDriveListRow row = DriveListRow(entry);
  EXPECT_EQ(row[1], "Big");
  EXPECT_EQ(row[4], std::to_string(entry.IdentifyData.LBA));
  EXPECT_EQ(row[5], "");
  entry.IdentifyData.SectorSize = 128;  // just fits
  EXPECT_NE(DriveListRow(entry)[5], "");
}

TEST(AcceptDriveChoice, RowsOutsideTheTableAreNoChoice) {
  test::UseSimHost(R"({"drives": [{"number": 0, "length": 33553920}]})");
  ResetDriveChoose();
  DeviceCount = 1;
  DeviceTable[1].IdentifyData.LBA = 65535;
  EXPECT_FALSE(AcceptDriveChoice(-1));
  EXPECT_FALSE(AcceptDriveChoice(1));
  EXPECT_FALSE(DeviceChosen);
  EXPECT_TRUE(AcceptDriveChoice(0));
  EXPECT_EQ(SelectedDevice, 1);
  ChooserClosed();
  EXPECT_FALSE(ProgramEndRequested());
}

}  // namespace
}  // namespace quarnel
