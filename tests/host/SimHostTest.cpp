#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/sim/SimHost.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quarnel {
namespace {

// What the loader joins a description's folder and a file name with.
#ifdef _WIN32
#define QUARNEL_PATH_SEPARATOR "\\"
#else
#define QUARNEL_PATH_SEPARATOR "/"
#endif

std::unique_ptr<SimHost> Load(const std::string& json, std::string* error) {
  return SimHost::FromJson(json, QUARNEL_TEST_DATA, error);
}

std::unique_ptr<SimHost> Load(const std::string& json) {
  std::string error;
  auto host = Load(json, &error);
  EXPECT_TRUE(host) << error;
  return host;
}

TEST(SimHostDescription, MistakesAreRefusedWithTheirPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"drives": [{"length": 5}]})", "drives[0]: \"number\" is missing"},
      {R"({"drives": [{"number": 256}]})", "\"number\" = 256 is out of range"},
      {R"({"drives": [{"number": 1}, {"number": 1}]})", "drive 1: described twice"},
      {R"({"drives": [{"number": 1, "length": "big"}]})", "\"length\" must be an integer"},
      {R"({"drives": [{"number": 1, "faults": {"opne": 5}}]})", "unknown key \"opne\""},
      {R"({"drives": [{"number": 1, "identify_hex": "00ff"}]})", "holds 2 bytes, not 512"},
      {R"({"drives": [{"number": 1, "identify_file": "nothing.bin"}]})", "cannot read"},
      {R"({"drives": [{"number": 1, "product": "盘"}]})", "characters above U+00FF"},
      {R"({"drives": [{"number": 1, "volumes": [{"root": "C:"}]}], "volumes": [{"root": "C:"}]})",
       "root C: twice"},
      {R"([1, 2])", "must be an object"},
      {R"({"drives": [{"number": 1, "length": 18446744073709551615}]})",
       "drive 1: \"length\" = 18446744073709551615 is out of range"},
      {R"({"drives": [{"number": 1, "bytes_per_sector": 3}]})",
       "drive 1: \"bytes_per_sector\" = 3 is no power of two"},
      {R"({"drives": [{"number": 1, "identify_file": "drives"}]})",
       "drive 1: \"identify_file\" " QUARNEL_TEST_DATA QUARNEL_PATH_SEPARATOR "drives is a folder"},
      {R"({"drives": [{"number": 1, "faults": {"write_errors": [{"code": 5}]}}]})",
       "write_errors: \"offset\" is missing"},
      {R"({"drives": [{"number": 1, "write_mb_per_s": 1e-300}]})",
       "drive 1: \"write_mb_per_s\" must be 0 (unlimited) or a number from 0.001 to 1000000"},
      {R"({"drives": [{"number": 1, "write_mb_per_s": 1e300}]})", "\"write_mb_per_s\" must be"},
      {R"({"drives": [{"number": 1, "smart_return_status": "bad"}]})",
       "drive 1: \"smart_return_status\" must be \"passed\" or \"failed\""},
      {R"({"drives": [{"number": 1, "faults": {"swap": {"serial": "X"}}}]})",
       "drive 1 faults swap: needs one of \"at_open\", \"at_claim\" and \"at_flush\""},
      {R"({"drives": [{"number": 1, "faults": {"\u001b[2J": 1}}]})", "unknown key \"\\x1b[2J\""},
  };
  for (const auto& [json, message] : cases) {
    std::string error;
    EXPECT_FALSE(Load(json, &error)) << json;
    EXPECT_NE(error.find(message), std::string::npos) << json << " gave: " << error;
  }
}

TEST(SimHostDescription, DriveFilesAreReadRelativeToTheDescription) {
  auto host = Load(R"({"drives": [{"number": 0,
      "identify_file": "drives/ST320410A--3.39/identify.bin"}]})");
  ASSERT_TRUE(host);
  EXPECT_EQ(host->Drive(0)->Identify.size(), 512u);
}

// What a machine's file may hold and be: bounded, regular, never blocking.
TEST(SimHostDescription, DeepNestingAndOddFilesAreRefused) {
  std::string deep = R"({"drives": [{"number": 0, "faults": {"silent_loss": )";
  deep += std::string(100000, '[') + std::string(100000, ']') + "}}]}";
  std::string error;
  EXPECT_FALSE(Load(deep, &error));
  EXPECT_EQ(error, "not a machine: nested deeper than 32 levels");

  test::TTempFolder dir("sim-files");
  std::ofstream(dir / "big.bin", std::ios::binary) << std::string(513, 'x');
  EXPECT_FALSE(SimHost::FromJson(R"({"drives": [{"number": 0, "identify_file": "big.bin"}]})",
                                 dir.Path().string(), &error));
  EXPECT_NE(error.find("identify_file holds more than 512 bytes"), std::string::npos) << error;
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const char* json : {R"({"drives": [{"number": 0, "identify_file": "fifo"}]})",
                           R"({"drives": [{"number": 0, "smart_file": "/dev/zero"}]})",
                           R"({"drives": [{"number": 0, "image": "fifo"}]})"}) {
    EXPECT_FALSE(SimHost::FromJson(json, dir.Path().string(), &error)) << json;
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
  }
  for (const std::string& path : {std::string("/dev/zero"), (dir / "fifo").string()}) {
    EXPECT_FALSE(SimHost::FromFile(path, &error));
    EXPECT_EQ(error, path + " is not a regular file");
  }
#endif
}

TEST(SimHost, DiskSequenceAndASwappedDrive) {
  auto host = Load(R"({"drives": [{"number": 0, "length": 1048576, "serial": "OLD"},
      {"number": 1, "length": 1048576, "serial": "OLD", "disk_sequence": 41,
       "faults": {"swap": {"at_open": 2, "serial": "NEW", "length": 2097152}}}]})");
  uint8_t out[8] = {};
  uint32_t got = 0;
  const THandle plain = host->CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3, 3, 0);
  EXPECT_FALSE(host->DeviceIoControl(plain, win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE, nullptr, 0, out,
                                     8, &got));
  EXPECT_EQ(host->GetLastError(), win::kERROR_NOT_SUPPORTED);
  for (uint64_t expected : {41u, 42u}) {
    const THandle h = host->CreateFileU8("\\\\.\\PhysicalDrive1", win::kGENERIC_READ, 3, 3, 0);
    ASSERT_TRUE(
        host->DeviceIoControl(h, win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE, nullptr, 0, out, 8, &got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(GetU64(out, 0), expected);
    host->CloseHandle(h);
  }
  EXPECT_EQ(host->Drive(1)->Serial, "NEW");
  EXPECT_EQ(host->Drive(1)->Length, 2097152);
}

TEST(SimHost, DeviceDescriptorLaysTextsOutAsWindowsDoes) {
  auto host = Load(R"({"drives": [{"number": 0, "vendor": "ATA", "product": "XD500",
      "revision": "1.0", "serial": "ABCDE", "removable": true, "bus_type": 11}]})");
  const THandle h = host->CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3, 3, 0);
  uint8_t query[12] = {};
  uint8_t out[512] = {};
  uint32_t n = 0;
  ASSERT_TRUE(
      host->DeviceIoControl(h, win::kIOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 512, &n));
  EXPECT_EQ(GetU32(out, win::kDEVICE_Size), n);
  EXPECT_EQ(out[win::kDEVICE_RemovableMedia], 1);
  EXPECT_STREQ(reinterpret_cast<char*>(out + GetU32(out, win::kDEVICE_VendorIdOffset)), "ATA");
  EXPECT_STREQ(reinterpret_cast<char*>(out + GetU32(out, win::kDEVICE_ProductIdOffset)), "XD500");
  // The serial in ATA word order, padded with a blank to whole words.
  EXPECT_STREQ(reinterpret_cast<char*>(out + GetU32(out, win::kDEVICE_SerialNumberOffset)),
               "BADC E");
  // A short output area gets the start of the descriptor.
  ASSERT_TRUE(host->DeviceIoControl(h, win::kIOCTL_STORAGE_QUERY_PROPERTY, query, 12, out, 8, &n));
  EXPECT_EQ(n, 8u);
}

TEST(SimHost, RefusalsCarryTheirCodeAndZeroMeansNoCode) {
  auto host = Load(R"({"drives": [{"number": 0, "faults": {"geometry": 0, "length": 1117}},
                                  {"number": 1, "faults": {"open": 5}}]})");
  EXPECT_EQ(host->CreateFileU8("\\\\.\\PhysicalDrive1", win::kGENERIC_READ, 3, 3, 0),
            kInvalidHandle);
  EXPECT_EQ(host->GetLastError(), 5u);
  EXPECT_EQ(host->CreateFileU8("\\\\.\\PhysicalDrive2", win::kGENERIC_READ, 3, 3, 0),
            kInvalidHandle);
  EXPECT_EQ(host->GetLastError(), 2u);
  EXPECT_EQ(host->CreateFileU8("\\\\.\\PhysicalDrive00", win::kGENERIC_READ, 3, 3, 0),
            kInvalidHandle);
  const THandle h = host->CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3, 3, 0);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(host->GetLastError(), 0u);
  uint8_t out[512];
  std::memset(out, 0xAA, sizeof out);
  uint32_t n = 7;
  EXPECT_FALSE(
      host->DeviceIoControl(h, win::kIOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, 512, &n));
  EXPECT_EQ(host->GetLastError(), 0u);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(out[0], 0xAA);  // a refusal writes nothing
  EXPECT_FALSE(
      host->DeviceIoControl(h, win::kIOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, out, 512, &n));
  EXPECT_EQ(host->GetLastError(), 1117u);
}

TEST(SimHost, ExclusiveOpenShutsOutOtherOpensAndTheReverse) {
  auto host = Load(R"({"drives": [{"number": 0, "length": 1048576}]})");
  const std::string path = "\\\\.\\PhysicalDrive0";
  const THandle shared = host->CreateFileU8(path, win::kGENERIC_READ, 3, 3, 0);
  ASSERT_NE(shared, kInvalidHandle);
  EXPECT_EQ(host->CreateFileU8(path, win::kGENERIC_READ | win::kGENERIC_WRITE, 0, 3, 0),
            kInvalidHandle);
  EXPECT_EQ(host->GetLastError(), win::kERROR_SHARING_VIOLATION);
  host->CloseHandle(shared);
  const THandle exclusive =
      host->CreateFileU8(path, win::kGENERIC_READ | win::kGENERIC_WRITE, 0, 3, 0);
  ASSERT_NE(exclusive, kInvalidHandle);
  EXPECT_EQ(host->CreateFileU8(path, win::kGENERIC_READ, 3, 3, 0), kInvalidHandle);
  EXPECT_TRUE(host->CloseHandle(exclusive));
  EXPECT_FALSE(host->CloseHandle(exclusive));
  EXPECT_EQ(host->GetLastError(), win::kERROR_INVALID_HANDLE);
}

TEST(SimHost, WritesAreRecordedFaultedAndEndWhenTheDriveVanishes) {
  const test::TTempFolder folder("sim");
  const auto image = folder / "disk.img";
  auto host =
      Load(R"({"drives": [{"number": 0, "length": 8388608, "image": ")" + image.generic_string() +
           R"(", "faults": {"write_errors": [{"offset": 1048576, "code": 121}],
                                     "vanish_at": 4194304}}]})");
  const THandle h = host->CreateFileU8("\\\\.\\PhysicalDrive0",
                                       win::kGENERIC_READ | win::kGENERIC_WRITE, 0, 3, 0);
  std::vector<uint8_t> block(65536, 0);
  uint32_t written = 0;
  int64_t position = 0;
  ASSERT_TRUE(host->WriteFile(h, block.data(), 65536, &written));
  ASSERT_TRUE(host->WriteFile(h, block.data(), 65536, &written));
  ASSERT_TRUE(host->SetFilePointerEx(h, 1048576, &position, win::kFILE_BEGIN));
  EXPECT_FALSE(host->WriteFile(h, block.data(), 65536, &written));
  EXPECT_EQ(host->GetLastError(), 121u);
  EXPECT_EQ(written, 0u);
  ASSERT_TRUE(host->SetFilePointerEx(h, 1048576 + 65536, &position, win::kFILE_BEGIN));
  ASSERT_TRUE(host->WriteFile(h, block.data(), 65536, &written));
  EXPECT_FALSE(host->WriteFile(h, block.data(), 100, &written));  // not whole sectors
  EXPECT_EQ(host->GetLastError(), win::kERROR_INVALID_PARAMETER);
  const auto ranges = host->Drive(0)->Written;
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], (std::pair<int64_t, int64_t>{0, 131072}));
  EXPECT_EQ(ranges[1], (std::pair<int64_t, int64_t>{1114112, 1179648}));
  EXPECT_EQ(std::filesystem::file_size(image), 1179648u);

  ASSERT_TRUE(host->SetFilePointerEx(h, 4194304 - 512, &position, win::kFILE_BEGIN));
  EXPECT_FALSE(host->WriteFile(h, block.data(), 65536, &written));
  EXPECT_EQ(host->GetLastError(), win::kERROR_DEV_NOT_EXIST);
  EXPECT_FALSE(host->WriteFile(h, block.data(), 512, &written));
  EXPECT_EQ(host->GetLastError(), win::kERROR_DEV_NOT_EXIST);
  EXPECT_EQ(host->CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3, 3, 0),
            kInvalidHandle);
}

TEST(SimHost, ReadOnlyHandlesCannotWriteAndWritesStopAtTheEnd) {
  auto host = Load(R"({"drives": [{"number": 0, "length": 65536}]})");
  std::vector<uint8_t> block(65536, 0);
  uint32_t written = 0;
  const THandle ro = host->CreateFileU8("\\\\.\\PhysicalDrive0", win::kGENERIC_READ, 3, 3, 0);
  EXPECT_FALSE(host->WriteFile(ro, block.data(), 512, &written));
  EXPECT_EQ(host->GetLastError(), win::kERROR_ACCESS_DENIED);
  host->CloseHandle(ro);
  const THandle rw = host->CreateFileU8("\\\\.\\PhysicalDrive0",
                                        win::kGENERIC_READ | win::kGENERIC_WRITE, 0, 3, 0);
  int64_t position = 0;
  ASSERT_TRUE(host->SetFilePointerEx(rw, 512, &position, win::kFILE_BEGIN));
  EXPECT_FALSE(host->WriteFile(rw, block.data(), 65536, &written));
  EXPECT_FALSE(host->SetFilePointerEx(rw, -1, &position, win::kFILE_BEGIN));
  EXPECT_TRUE(host->Drive(0)->Written.empty());
}

TEST(SimHost, VolumesListInLetterOrderAndLockOnce) {
  auto host = Load(R"({"drives": [{"number": 2, "volumes": [{"root": "E:", "partition": 2},
      {"root": "C:\\", "partition": 1, "in_use": false}, {"root": "G:", "in_use": true}]}]})");
  char buffer[64];
  const uint32_t n = host->GetLogicalDriveStringsU8(sizeof buffer, buffer);
  EXPECT_EQ(std::string(buffer, n + 1), std::string("C:\\\0E:\\\0G:\\\0\0", 13));
  EXPECT_EQ(host->GetLogicalDriveStringsU8(5, buffer), 13u);

  const THandle c = host->CreateFileU8("\\\\.\\C:", win::kGENERIC_READ, 3, 3, 0);
  uint8_t out[12];
  uint32_t got = 0;
  ASSERT_TRUE(
      host->DeviceIoControl(c, win::kIOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, out, 12, &got));
  EXPECT_EQ(GetU32(out, 0), 7u);
  EXPECT_EQ(GetU32(out, 4), 2u);
  EXPECT_EQ(GetU32(out, 8), 1u);
  EXPECT_TRUE(host->DeviceIoControl(c, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &got));
  const THandle c2 = host->CreateFileU8("\\\\.\\C:", win::kGENERIC_READ, 3, 3, 0);
  EXPECT_FALSE(host->DeviceIoControl(c2, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &got));
  host->CloseHandle(c);
  EXPECT_TRUE(host->DeviceIoControl(c2, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &got));
  const THandle g = host->CreateFileU8("\\\\.\\G:", win::kGENERIC_READ, 3, 3, 0);
  EXPECT_FALSE(host->DeviceIoControl(g, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &got));
  EXPECT_EQ(host->GetLastError(), win::kERROR_ACCESS_DENIED);
}

TEST(SimHost, DemoMachineLoads) {
  auto host = SimHost::Demo();
  ASSERT_TRUE(host);
  EXPECT_NE(host->Drive(0), nullptr);
  EXPECT_EQ(host->Drive(0)->Identify.size(), 512u);
  EXPECT_EQ(host->Drive(2)->Length / 512, 32768);
  EXPECT_EQ(host->Drive(0)->WriteMBPerSecond, 150);
  EXPECT_EQ(host->Drive(1)->WriteMBPerSecond, 20);
}

}  // namespace
}  // namespace quarnel
