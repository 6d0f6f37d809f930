// The NVMe storage query as the hosts read it: the admin command built from
// the request bytes the core sends, and the reply laid out as Windows does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/linux/LinuxHost.h"
#include "nvme/NvmeCommands.h"

namespace quarnel {
namespace {

// Keeps the request of the one query the core makes, and refuses it.
class RecordingHost : public Host {
 public:
  std::vector<uint8_t> Request;
  uint32_t OutSize = 0;
  std::string DrivePath(int) override { return ""; }
  THandle CreateFileU8(const std::string&, uint32_t, uint32_t, uint32_t, uint32_t) override {
    return kInvalidHandle;
  }
  bool CloseHandle(THandle) override { return true; }
  bool DeviceIoControl(THandle, uint32_t code, const void* in, uint32_t inSize, void*,
                       uint32_t outSize, uint32_t*) override {
    EXPECT_EQ(code, win::kIOCTL_STORAGE_QUERY_PROPERTY);
    Request.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inSize);
    OutSize = outSize;
    return false;
  }
  bool WriteFile(THandle, const void*, uint32_t, uint32_t*) override { return false; }
  bool ReadFile(THandle, void*, uint32_t, uint32_t*) override { return false; }
  bool FlushFileBuffers(THandle) override { return false; }
  bool ClaimDrive(THandle, std::vector<std::string>*) override { return false; }
  void ReleaseDrive(THandle) override {}
  bool SetFilePointerEx(THandle, int64_t, int64_t*, uint32_t) override { return false; }
  uint32_t GetLastError() override { return 1; }
  std::string ErrorText(uint32_t) override { return ""; }
  uint32_t GetLogicalDriveStringsU8(uint32_t, char*) override { return 0; }
  TPlatformVersion GetVersion() override { return {}; }
  bool IsWow64() override { return false; }
  void Sleep(uint32_t) override {}
};

template <typename Ask>
std::vector<uint8_t> RecordRequest(Ask ask, uint32_t* outSize) {
  auto owned = std::make_unique<RecordingHost>();
  RecordingHost* host = owned.get();
  SetHost(std::move(owned));
  ask();
  *outSize = host->OutSize;
  return host->Request;
}

std::vector<uint8_t> Hex(const char* text) {
  std::vector<uint8_t> bytes;
  for (const char* p = text; p[0] && p[1];) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return bytes;
}

TEST(NvmeQuery, HealthLogBecomesGetLogPageForAllNamespaces) {
  uint32_t outSize = 0;
  TNvmeHealthBlock log = {};
  const std::vector<uint8_t> request =
      RecordRequest([&] { EXPECT_FALSE(NvmeReadHealthLog(7, log)); }, &outSize);
  // PropertyId 50, standard query; NVMe, log page 02h, data at 40, 512 bytes.
  ASSERT_EQ(request.size(), 560u);
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.begin() + 32),
            Hex("32000000 00000000 03000000 02000000 02000000 00000000 28000000 00020000"));
  TNvmeQuery q;
  ASSERT_EQ(ParseNvmeQuery(request.data(), 560, outSize, &q), 0u);
  uint8_t cmd[kNvmeAdminCmdSize];
  BuildNvmeAdminCommand(q, 1, 0x1122334455667788ull, cmd);
  // Opcode 02h, NSID FFFFFFFFh, the buffer, 512 bytes, CDW10 007F0002h (NUMDL 127).
  EXPECT_EQ(std::vector<uint8_t>(cmd, cmd + sizeof cmd),
            Hex("02000000 ffffffff 00000000 00000000 0000000000000000 8877665544332211"
                "00000000 00020000 02007f00 00000000 00000000 00000000 00000000 00000000"
                "00000000 00000000"));

  // The reply: the descriptor (version and size 48), the request's specific
  // data echoed with offset 40 and length 512, then the log.
  std::vector<uint8_t> data(512);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> out(outSize, 0xEE);
  ASSERT_EQ(BuildNvmeReply(q, data.data(), 0, out.data()), 560u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 32),
            Hex("30000000 30000000 03000000 02000000 02000000 00000000 28000000 00020000"));
  EXPECT_EQ(0, std::memcmp(out.data() + 48, data.data(), 512));
}

TEST(NvmeQuery, IdentifyCommandsAndTheNamespaceOfTheNode) {
  uint32_t outSize = 0;
  TNvmeIdentifyBlock block = {};
  std::vector<uint8_t> request =
      RecordRequest([&] { EXPECT_FALSE(NvmeIdentifyController(7, block)); }, &outSize);
  ASSERT_EQ(request.size(), 48u + 4096u);
  EXPECT_EQ(GetU32(request.data(), 0), 49u);  // the adapter: the controller's data
  TNvmeQuery q;
  ASSERT_EQ(ParseNvmeQuery(request.data(), 4144, outSize, &q), 0u);
  uint8_t cmd[kNvmeAdminCmdSize];
  BuildNvmeAdminCommand(q, 3, 0x1000, cmd);
  EXPECT_EQ(cmd[0], 0x06);
  EXPECT_EQ(GetU32(cmd, 4), 0u);  // no namespace for the controller
  EXPECT_EQ(GetU32(cmd, 36), 4096u);
  EXPECT_EQ(GetU32(cmd, 40), 1u);  // CNS 01h

  request = RecordRequest([&] { EXPECT_FALSE(NvmeIdentifyNamespace(7, block)); }, &outSize);
  EXPECT_EQ(GetU32(request.data(), 0), 50u);  // the device: its own namespace
  ASSERT_EQ(ParseNvmeQuery(request.data(), 4144, outSize, &q), 0u);
  BuildNvmeAdminCommand(q, 3, 0x1000, cmd);
  EXPECT_EQ(GetU32(cmd, 4), 3u);
  EXPECT_EQ(GetU32(cmd, 40), 0u);  // CNS 00h
}

TEST(NvmeQuery, RefusesWhatItDoesNotCarry) {
  uint32_t outSize = 0;
  TNvmeHealthBlock log = {};
  const std::vector<uint8_t> good = RecordRequest([&] { NvmeReadHealthLog(7, log); }, &outSize);
  TNvmeQuery q;
  auto with = [&](size_t off, uint32_t value) {
    std::vector<uint8_t> r = good;
    PutU32(r.data(), off, value);
    return ParseNvmeQuery(r.data(), static_cast<uint32_t>(r.size()), outSize, &q);
  };
  EXPECT_EQ(with(16, 0x03), win::kERROR_NOT_SUPPORTED);     // firmware slot log
  EXPECT_EQ(with(0, 49), win::kERROR_NOT_SUPPORTED);        // a log through the adapter
  EXPECT_EQ(with(20, 1), win::kERROR_INVALID_PARAMETER);    // an offset into the log
  EXPECT_EQ(with(28, 510), win::kERROR_INVALID_PARAMETER);  // not whole dwords
  EXPECT_EQ(with(8, 1), win::kERROR_INVALID_PARAMETER);     // SCSI, not NVMe
  EXPECT_EQ(ParseNvmeQuery(good.data(), 47, outSize, &q), win::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(ParseNvmeQuery(good.data(), 560, 559, &q), win::kERROR_INSUFFICIENT_BUFFER);
}

TEST(NvmeQuery, SelfTestLogAndDeviceSelfTestCommand) {
  uint32_t outSize = 0;
  TNvmeHealthBlock log = {};
  std::vector<uint8_t> r = RecordRequest([&] { NvmeReadHealthLog(7, log); }, &outSize);
  TNvmeQuery q;
  PutU32(r.data(), 16, 0x06);  // the self-test log: 564 bytes, not one more
  PutU32(r.data(), 28, 564);
  EXPECT_EQ(ParseNvmeQuery(r.data(), 48, 48 + 564, &q), 0u);
  PutU32(r.data(), 28, 568);
  EXPECT_EQ(ParseNvmeQuery(r.data(), 48, 48 + 568, &q), win::kERROR_INVALID_PARAMETER);

  uint8_t code = 0;
  uint8_t in[4] = {};
  for (uint32_t stc : {0x1u, 0x2u, 0xFu}) {
    PutU32(in, 0, stc);
    ASSERT_EQ(ParseNvmeSelfTestRequest(in, 4, 4, &code), 0u);
    uint8_t command[kNvmeAdminCmdSize];
    BuildNvmeSelfTestCommand(code, command);
    EXPECT_EQ(command[0], 0x14);
    EXPECT_EQ(GetU32(command, 4), 0xFFFFFFFFu);  // the controller and all namespaces
    EXPECT_EQ(GetU32(command, 40), stc);
    EXPECT_EQ(GetU32(command, 36), 0u);  // no data
  }
  for (uint32_t stc : {0x0u, 0x3u, 0xEu, 0x101u}) {
    PutU32(in, 0, stc);
    EXPECT_EQ(ParseNvmeSelfTestRequest(in, 4, 4, &code), win::kERROR_INVALID_PARAMETER) << stc;
  }
  PutU32(in, 0, 1);
  EXPECT_EQ(ParseNvmeSelfTestRequest(in, 4, 3, &code), win::kERROR_INSUFFICIENT_BUFFER);
}

TEST(NvmeQuery, AdminOutcomesAsWin32Codes) {
  EXPECT_EQ(Win32FromNvmeResult(0, 0), 0u);
  EXPECT_EQ(Win32FromNvmeResult(0x0002, 0), win::kERROR_NOT_SUPPORTED);  // invalid field
  EXPECT_EQ(Win32FromNvmeResult(0x0281, 0), win::kERROR_IO_DEVICE);      // media error
  EXPECT_EQ(Win32FromNvmeResult(-1, ENOTTY), win::kERROR_NOT_SUPPORTED);
  EXPECT_EQ(Win32FromNvmeResult(-1, EACCES), win::kERROR_ACCESS_DENIED);
}

TEST(NvmeQuery, ControllerNodeOfANamespace) {
  namespace fs = std::filesystem;
  const fs::path root =
      fs::temp_directory_path() / ("quarnel-nvme-sys-" + std::to_string(::getpid()));
  fs::create_directories(root / "sys/devices/pci0/nvme/nvme2");
  fs::create_directories(root / "sys/devices/virtual/nvme-subsystem/nvme-subsys0/nvme11");
  fs::create_directories(root / "sys/devices/virtual/nvme-subsystem/nvme-subsys0/nvme3");
  fs::create_directories(root / "sys/devices/virtual/nvme-subsystem/nvme-subsys0/nvme0n1");
  fs::create_directories(root / "sys/block/nvme2n1");
  fs::create_directories(root / "sys/block/nvme0n1");
  fs::create_directories(root / "sys/block/sda");
  fs::create_directory_symlink(root / "sys/devices/pci0/nvme/nvme2",
                               root / "sys/block/nvme2n1/device");
  fs::create_directory_symlink(root / "sys/devices/virtual/nvme-subsystem/nvme-subsys0",
                               root / "sys/block/nvme0n1/device");
  EXPECT_EQ(NvmeControllerNode("nvme2n1", root.string()), "/dev/nvme2");
  EXPECT_EQ(NvmeControllerNode("nvme0n1", root.string()), "/dev/nvme3");  // natural order
  EXPECT_EQ(NvmeControllerNode("sda", root.string()), "");
  fs::remove_all(root);
}

}  // namespace
}  // namespace quarnel
