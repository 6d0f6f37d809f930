// WinHost on wine, through the drive letter X: that the test's fixture links
// to an image file (\\.\X: opens the image; wine has no real drives).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/StartUp.h"
#include "base/Logging.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "erase/DriveRun.h"
#include "erase/FormatEngine.h"
#include "host/AtaRequests.h"
#include "host/HostConstants.h"
#include "host/win/WinHost.h"
#include "ui/UiSeam.h"

namespace quarnel {
namespace {

constexpr const char* kDisk = "\\\\.\\X:";

// The image behind X:, as a Windows path (wine's Z: is the root folder).
std::string ImagePath() {
  const char* path = std::getenv("QUARNEL_WINE_DISK");
  return path ? std::string("Z:") + path : std::string();
}

std::vector<uint8_t> ImageBytes(size_t count) {
  std::ifstream in(ImagePath(), std::ios::binary);
  std::vector<uint8_t> bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

class WinHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ImagePath().empty()) << "QUARNEL_WINE_DISK is not set";
    ResetProcessState();
    auto host = std::make_unique<WinHost>(std::vector<std::string>{kDisk});
    host_ = host.get();
    SetHost(std::move(host));
  }
  void TearDown() override {
    CloseAll();
    ResetProcessState();
  }
  void CloseAll() {
    for (THandle handle : handles_) host_->CloseHandle(handle);
    handles_.clear();
  }
  THandle Open(const std::string& path, uint32_t access, uint32_t share) {
    const THandle handle = host_->CreateFileU8(path, access, share, win::kOPEN_EXISTING, 0);
    if (handle != kInvalidHandle) handles_.push_back(handle);
    return handle;
  }

  WinHost* host_ = nullptr;
  std::vector<THandle> handles_;
};

TEST_F(WinHostTest, WritesAtTheSoughtPositionAndFlushes) {
  const THandle disk = Open(kDisk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(disk, kInvalidHandle) << host_->GetLastError();
  EXPECT_EQ(host_->GetLastError(), 0u);
  int64_t position = -1;
  ASSERT_TRUE(host_->SetFilePointerEx(disk, 8192, &position, win::kFILE_BEGIN));
  EXPECT_EQ(position, 8192);
  std::vector<uint8_t> block(4096, 0x5A);
  uint32_t written = 0;
  ASSERT_TRUE(host_->WriteFile(disk, block.data(), 4096, &written));
  EXPECT_EQ(written, 4096u);
  ASSERT_TRUE(host_->SetFilePointerEx(disk, 0, &position, win::kFILE_CURRENT));
  EXPECT_EQ(position, 8192 + 4096);
  EXPECT_TRUE(host_->FlushFileBuffers(disk));
  CloseAll();  // wine shares the image file's locks with X:
  const std::vector<uint8_t> image = ImageBytes(16384);
  ASSERT_EQ(image.size(), 16384u);
  EXPECT_NE(image[8191], 0x5A);
  EXPECT_EQ(std::count(image.begin() + 8192, image.begin() + 12288, 0x5A), 4096);
  EXPECT_NE(image[12288], 0x5A);
}

TEST_F(WinHostTest, FailuresGiveTheSystemsCodesAndTexts) {
  EXPECT_EQ(Open("\\\\.\\PhysicalDrive200", win::kGENERIC_READ, 3), kInvalidHandle);
  EXPECT_EQ(host_->GetLastError(), win::kERROR_FILE_NOT_FOUND);
  const std::string text = host_->ErrorText(win::kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  EXPECT_NE(host_->ErrorText(win::kERROR_ACCESS_DENIED), text);

  // Held without sharing, the drive refuses a second open.
  ASSERT_NE(Open(kDisk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0), kInvalidHandle);
  EXPECT_EQ(Open(kDisk, win::kGENERIC_READ, 3), kInvalidHandle);
  EXPECT_EQ(host_->GetLastError(), win::kERROR_SHARING_VIOLATION);

  int64_t position = 0;
  EXPECT_FALSE(host_->SetFilePointerEx(kInvalidHandle, 0, &position, win::kFILE_BEGIN));
  EXPECT_EQ(host_->GetLastError(), win::kERROR_INVALID_HANDLE);
}

TEST_F(WinHostTest, VolumeRootsAndTheLock) {
  char roots[1024] = {};
  const uint32_t length = host_->GetLogicalDriveStringsU8(sizeof roots - 1, roots);
  ASSERT_GT(length, 0u);
  std::vector<std::string> listed;
  for (uint32_t i = 0; i < length && roots[i]; i += static_cast<uint32_t>(listed.back().size()) + 1)
    listed.emplace_back(roots + i);
  EXPECT_NE(std::find(listed.begin(), listed.end(), "X:\\"), listed.end())
      << ::testing::PrintToString(listed);
  EXPECT_GT(host_->GetLogicalDriveStringsU8(2, roots), 2u);  // the length it needs

  const THandle volume =
      Open(kDisk, win::kGENERIC_READ, win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE);
  ASSERT_NE(volume, kInvalidHandle);
  uint32_t returned = 0;
  EXPECT_TRUE(
      host_->DeviceIoControl(volume, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
}

// With --devices, a volume names the listed drive it lies on: X: is listed
// itself, C: lies on wine's disk 0.
TEST_F(WinHostTest, VolumesNameTheListedDrive) {
  SetHost(std::make_unique<WinHost>(
      std::vector<std::string>{"\\\\.\\PhysicalDrive5", kDisk, "\\\\.\\physicaldrive0"}));
  EXPECT_EQ(GetVolumeDeviceNumber("X:").DeviceNumber, 1u);
  const TVolumeDeviceInfo c = GetVolumeDeviceNumber("C:");
  ASSERT_TRUE(c.Found);
  EXPECT_EQ(c.DeviceType, 7u);
  EXPECT_EQ(c.DeviceNumber, 2u);
  SetHost(std::make_unique<WinHost>(std::vector<std::string>{kDisk}));
  EXPECT_EQ(GetVolumeDeviceNumber("C:").DeviceNumber, 0xFFFFFFFFu);
  std::string parts;
  ListDevicePartitions(parts, 0);
  EXPECT_EQ(parts, "X:");
}

// wine refuses the identification's requests on the image (error 50): the
// drive opens, is not identified, and stays out of the table.
TEST_F(WinHostTest, AnUnidentifiedDriveStaysOutOfTheScan) {
  ActivateDebugMode({"--debug"});
  const THandle disk = Open(kDisk, win::kGENERIC_READ, 3);
  ASSERT_NE(disk, kInvalidHandle);
  uint8_t geometry[win::kDISK_GEOMETRY_SIZE] = {};
  uint32_t returned = 0;
  EXPECT_FALSE(host_->DeviceIoControl(disk, win::kIOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0,
                                      geometry, sizeof geometry, &returned));
  EXPECT_EQ(host_->GetLastError(), win::kERROR_NOT_SUPPORTED);
  CloseAll();

  ScanDevices();
  EXPECT_EQ(DeviceCount, 0);
  const std::string log = [] {
    std::string all;
    for (const std::string& line : DebugMemo.Lines()) all += line + "\n";
    return all;
  }();
  EXPECT_NE(log.find("Trying device \\\\.\\X:"), std::string::npos) << log;
  EXPECT_NE(log.find("Done. Status = 0"), std::string::npos) << log;
  EXPECT_EQ(ChooserStatusText, "找到磁盘: 0");
}

// IOCTL_ATA_PASS_THROUGH goes to the driver only with a command of the
// read-only queries or SANITIZE: SET MAX ADDRESS EXT (37h) never leaves.
TEST_F(WinHostTest, AtaPassThroughKeepsToItsAllowLists) {
  // A handle that names nothing: what reaches the system fails on it.
  const THandle nothing = 0x7FF0;
  auto send = [&](const TAtaTaskFile& t) {
    std::vector<uint8_t> request = BuildAtaPassThrough(t, 0, 15);
    const auto size = static_cast<uint32_t>(request.size());
    uint32_t returned = 7;
    EXPECT_FALSE(host_->DeviceIoControl(nothing, win::kIOCTL_ATA_PASS_THROUGH, request.data(), size,
                                        request.data(), size, &returned));
    return host_->GetLastError();
  };
  TAtaTaskFile query;
  query.Ext = true;
  query.Current = {0, 0, 0, 0, 0, 0x40, 0x27};  // READ NATIVE MAX ADDRESS EXT
  EXPECT_EQ(send(query), win::kERROR_INVALID_HANDLE);
  TAtaTaskFile setMax = query;
  setMax.Current = {0, 0, 0xFF, 0xFF, 0xFF, 0x40, 0x37};  // SET MAX ADDRESS EXT
  EXPECT_EQ(send(setMax), win::kERROR_INVALID_FUNCTION);
}

// The engine's writes through the real calls: a quick wipe zeroes the start
// and the last MiB of the image and nothing between.
TEST_F(WinHostTest, AQuickWipeZeroesTheStartOfTheImage) {
  DeviceCount = 1;
  SelectedDevice = 1;
  DeviceTable[1].DevicePath = kDisk;
  DeviceTable[1].IdentifyData.SectorSize = 512;
  DeviceTable[1].IdentifyData.LBA = 16 * 1024 * 1024 / 512;
  DeviceHandle = host_->CreateFileU8(kDisk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0,
                                     win::kOPEN_EXISTING, 0);
  ASSERT_NE(DeviceHandle, kInvalidHandle);
  handles_.push_back(DeviceHandle);
  TDriveRun run(*host_, Ui(), DeviceTable[1], DeviceHandle, "");
  EXPECT_TRUE(RunLowLevelFormat(run, true));
  CloseAll();
  const std::vector<uint8_t> image = ImageBytes(16 * 1024 * 1024);
  ASSERT_EQ(image.size(), 16u * 1024 * 1024);
  const auto lastMiB = image.end() - 1024 * 1024;
  EXPECT_EQ(std::count(image.begin(), image.begin() + 10240000, 0), 10240000);
  EXPECT_EQ(std::count(image.begin() + 10240000, lastMiB, 0xFF),
            lastMiB - image.begin() - 10240000);
  EXPECT_EQ(std::count(lastMiB, image.end(), 0), 1024 * 1024);
}

}  // namespace
}  // namespace quarnel
