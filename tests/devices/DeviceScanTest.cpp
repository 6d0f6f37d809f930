#include <gtest/gtest.h>

#include <algorithm>

#include "base/Logging.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "support/TestSupport.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

using test::DebugTexts;
using test::UseSimHost;

std::string Drive(int number, const std::string& extra = "") {
  return R"({"number": )" + std::to_string(number) + R"(, "length": 1048576, "product": "Model)" +
         std::to_string(number) + R"(", "serial": "SN)" + std::to_string(number) + "\"" + extra +
         "}";
}

size_t Count(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

TEST(ScanDevices, GapsAreSkippedAndEntriesKeepDriveOrder) {
  UseSimHost(R"({"drives": [)" + Drive(3) + "," + Drive(0) + "," + Drive(1) + "]}");
  DebugMode = true;
  ScanDevices();
  ASSERT_EQ(DeviceCount, 3);
  EXPECT_EQ(DeviceTable[1].DeviceNumber, 0u);
  EXPECT_EQ(DeviceTable[2].DeviceNumber, 1u);
  EXPECT_EQ(DeviceTable[3].DeviceNumber, 3u);
  EXPECT_EQ(DeviceTable[3].DevicePath, "\\\\.\\PhysicalDrive3");
  EXPECT_EQ(DeviceTable[3].IdentifyData.Model, " Model3");
  EXPECT_EQ(DeviceTable[4].DevicePath, "");
  EXPECT_EQ(DeviceTable[4].IdentifyData.LBA, 0);
  EXPECT_FALSE(DeviceTable[4].IdentifyData.RemovableMedia);
  const auto lines = DebugTexts();
  // Drive 2 and every number from 4 to 255.
  EXPECT_EQ(Count(lines, "Invalid handle, skipping"), 1u + 252u);
  EXPECT_EQ(Count(lines, "Trying device \\\\.\\PhysicalDrive255"), 1u);
  EXPECT_EQ(lines.front(), "Iterating through devices...");
  EXPECT_EQ(ChooserStatusText, "找到磁盘: 3");
}

TEST(ScanDevices, StopsAtFifteenEntries) {
  std::string drives;
  for (int n = 0; n < 16; ++n) {
    if (n) drives += ',';
    drives += Drive(n);
  }
  UseSimHost(R"({"drives": [)" + drives + "]}");
  DebugMode = true;
  ScanDevices();
  EXPECT_EQ(DeviceCount, 15);
  EXPECT_EQ(DeviceTable[15].DeviceNumber, 14u);
  EXPECT_EQ(DeviceTable[16].DevicePath, "");
  const auto lines = DebugTexts();
  EXPECT_EQ(Count(lines, "Trying device \\\\.\\PhysicalDrive14"), 1u);
  EXPECT_EQ(Count(lines, "Trying device \\\\.\\PhysicalDrive15"), 0u);
  EXPECT_EQ(ChooserStatusText, "找到磁盘: 15");
}

TEST(ScanDevices, UnidentifiedDriveLogsTheWorkingRecordAndIsLeftOut) {
  UseSimHost(R"({"drives": [)" + Drive(0, R"(, "faults": {"length": 5})") + "," + Drive(1) + "," +
             Drive(2, R"(, "faults": {"geometry": 5}, "volumes": [{"root": "G:"}])") + "]}");
  DebugMode = true;
  ScanDevices();
  ASSERT_EQ(DeviceCount, 1);
  EXPECT_EQ(DeviceTable[1].DeviceNumber, 1u);
  const auto lines = DebugTexts();
  // Drive 0 fails before anything was identified: empty texts.
  EXPECT_EQ(Count(lines, "Done. Status = 0;   "), 1u);
  EXPECT_EQ(Count(lines, "Done. Status = -1;  Model1  SN1"), 1u);
  // Drive 2 fails after drive 1: the working record still holds drive 1.
  EXPECT_EQ(Count(lines, "Done. Status = 0;  Model1  SN1"), 1u);
  EXPECT_EQ(Count(lines, "分区: G:"), 1u);
  EXPECT_EQ(Count(lines, "分区: "), 2u);
}

TEST(ScanDevices, RefusedDeviceQueryStopsTheScan) {
  UseSimHost(R"({"drives": [)" + Drive(0, R"(, "faults": {"device": 1117})") + "," + Drive(1) +
             "]}");
  DebugMode = true;
  ScanDevices();
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(DeviceCount, 0);
  const auto lines = DebugTexts();
  EXPECT_EQ(Count(lines, "Trying device \\\\.\\PhysicalDrive1"), 0u);
  EXPECT_EQ(LastMessageText(),
            "Error: Error accessing device: The request could not be performed because of an "
            "I/O device error");
  EXPECT_NE(ProgramExitCode(), 0);
}

TEST(ScanDevices, EndAskedForBeforeTheScanLetsItRunInFull) {
  // A declined agreement leaves the end pending; the scan still covers every drive.
  UseSimHost(R"({"drives": [)" + Drive(0) + "," + Drive(1) + "," + Drive(2) + "]}");
  RequestProgramEnd(0);
  ScanDevices();
  EXPECT_EQ(DeviceCount, 3);
  EXPECT_EQ(ProgramExitCode(), 0);
}

TEST(ScanDevices, ScanClosesEveryHandle) {
  SimHost& sim = UseSimHost(R"({"drives": [)" + Drive(0, R"(, "volumes": [{"root": "C:"}])") + "," +
                            Drive(1, R"(, "faults": {"geometry": 5})") + "]}");
  ScanDevices();
  EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST(ScanDevices, DriveHeldExclusivelyIsSkipped) {
  UseSimHost(R"({"drives": [)" + Drive(0) + "," + Drive(1) + "]}");
  // Another instance holds drive 0 for reading and writing without sharing.
  const THandle held = GetHost().CreateFileU8("\\\\.\\PhysicalDrive0", 0xC0000000u, 0, 3, 0);
  ASSERT_NE(held, kInvalidHandle);
  DebugMode = true;
  ScanDevices();
  ASSERT_EQ(DeviceCount, 1);
  EXPECT_EQ(DeviceTable[1].DeviceNumber, 1u);
  EXPECT_EQ(DebugTexts()[2], "Invalid handle, skipping");
}

TEST(DevicePartitions, ListsTheDiskVolumesOfOneDrive) {
  UseSimHost(
      R"({"drives": [)" +
      Drive(0, R"(, "volumes": [{"root": "E:", "partition": 2}, {"root": "C:", "partition": 1}])") +
      "," + Drive(1, R"(, "volumes": [{"root": "D:", "partition": 1}])") +
      R"(], "volumes": [{"root": "F:", "device_type": 2, "device_number": 0},
                               {"root": "H:", "device_number": 0, "query_fails": true}]})");
  DebugMode = true;
  ScanDevices();
  ASSERT_EQ(DeviceCount, 2);
  EXPECT_EQ(DeviceTable[1].AssociatedPartitions, "C: E:");
  EXPECT_EQ(DeviceTable[2].AssociatedPartitions, "D:");
  const auto lines = DebugTexts();
  EXPECT_EQ(Count(lines, "找到扇区 D:      设备类型: 7   设备编号: 1   分区: 1"), 2u);
  EXPECT_EQ(Count(lines, "找到扇区 F:      设备类型: 2   设备编号: 0   分区: 0"), 2u);
  const auto main = test::MainLogTexts();
  EXPECT_EQ(Count(main, "Looking for partitions..."), 2u);
  EXPECT_EQ(Count(main, "获取设备数据..."), 2u * 5u);
}

TEST(DevicePartitions, MainLogStaysQuietOutsideDebugMode) {
  UseSimHost(R"({"drives": [)" + Drive(0, R"(, "volumes": [{"root": "C:"}])") + "]}");
  ScanDevices();
  EXPECT_EQ(DeviceTable[1].AssociatedPartitions, "C:");
  EXPECT_TRUE(Log_BenchMark.Lines().empty());
  EXPECT_EQ(DebugMemo.Lines().size(), 1u);
}

TEST(DevicePartitions, NoRootsWhenTheRootListFails) {
  UseSimHost(R"({"drives": [)" + Drive(0, R"(, "volumes": [{"root": "C:"}])") +
             R"(], "faults": {"logical_drives": true}})");
  TDriveRoots roots;
  ListLogicalDrives(roots);
  EXPECT_TRUE(roots[0].empty());
  ScanDevices();
  EXPECT_EQ(DeviceTable[1].AssociatedPartitions, "");
}

TEST(DevicePartitions, RootListIsFetchedWhateverItsLengthAndCappedAtTheSlots) {
  std::string volumes;
  for (int i = 0; i < 130; ++i) {
    volumes += std::string(i ? "," : "") + R"({"root": "/mnt/v)" + std::to_string(1000 + i) + "\"}";
  }
  UseSimHost(R"({"drives": [)" + Drive(0, ", \"volumes\": [" + volumes + "]") + "]}");
  TDriveRoots roots;
  ListLogicalDrives(roots);
  // 130 roots of 11 characters need 1,431: more than the first 1,024, fetched
  // again with the size the host asks for.
  EXPECT_EQ(roots[0], "/mnt/v1000");
  EXPECT_EQ(roots[127], "/mnt/v1127");

  volumes.clear();
  for (int i = 0; i < 130; ++i) {
    volumes += std::string(i ? "," : "") + R"({"root": "v)" + std::to_string(100 + i) + "\"}";
  }
  UseSimHost(R"({"drives": [)" + Drive(0, ", \"volumes\": [" + volumes + "]") + "]}");
  ListLogicalDrives(roots);
  EXPECT_EQ(roots[0], "v100");
  EXPECT_EQ(roots[127], "v227");
}

TEST(BusTypeName, NamesAndFallbacks) {
  EXPECT_EQ(BusTypeName(BusTypeFromCode(3)), "ATA");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(4)), "IEEE 1394");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(11)), "SATA");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(15)), "FBVIRTUAL");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(16)), "SPACES");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(17)), "NVME");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(19)), "UFS");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(20)), "UNKNOWN");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(0xFFFFFFFFu)), "UNKNOWN");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(200)), "IMAGE");
  EXPECT_EQ(BusTypeName(BusTypeFromCode(201)), "FLASH");
}

TEST(DeviceTable, IndexOutsideOneToSixteenIsARangeError) {
  ResetDeviceTable();
  EXPECT_NO_THROW(DeviceTable[1]);
  EXPECT_NO_THROW(DeviceTable[16]);
  EXPECT_THROW(DeviceTable[0], std::out_of_range);
  EXPECT_THROW(DeviceTable[17], std::out_of_range);
  EXPECT_EQ(SelectedDevice, -1);
}

}  // namespace
}  // namespace quarnel
