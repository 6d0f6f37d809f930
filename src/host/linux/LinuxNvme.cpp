// LinuxHost NVMe queries: the protocol-specific storage query carried by
// NVME_IOCTL_ADMIN_CMD to the controller of the drive's namespace node, the
// reply laid out as Windows does (host/NvmeQuery.h holds the pure pieces).
#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {

namespace fs = std::filesystem;

static_assert(sizeof(nvme_admin_cmd) == kNvmeAdminCmdSize);
static_assert(offsetof(nvme_admin_cmd, nsid) == 4 && offsetof(nvme_admin_cmd, addr) == 24 &&
              offsetof(nvme_admin_cmd, data_len) == 36 && offsetof(nvme_admin_cmd, cdw10) == 40 &&
              offsetof(nvme_admin_cmd, cdw11) == 44 && offsetof(nvme_admin_cmd, result) == 68);

namespace {

bool IsControllerName(const std::string& name) {
  if (name.size() < 5 || name.compare(0, 4, "nvme") != 0) return false;
  return name.find_first_not_of("0123456789", 4) == std::string::npos;
}

}  // namespace

std::string NvmeControllerNode(const std::string& blockName, const std::string& sysRoot) {
  std::error_code ec;
  const fs::path device = fs::canonical(sysRoot + "/sys/block/" + blockName + "/device", ec);
  if (ec) return "";
  const std::string name = device.filename().string();
  if (IsControllerName(name)) return "/dev/" + name;
  // A multipath namespace hangs off its subsystem: take the first controller in it.
  std::string first;
  for (const auto& entry : fs::directory_iterator(device, ec)) {
    const std::string n = entry.path().filename().string();
    if (IsControllerName(n) && (first.empty() || NaturalDiskLess(n, first))) first = n;
  }
  return first.empty() ? "" : "/dev/" + first;
}

int LinuxHost::NvmeAdmin(TOpen& open, void* command, int* error) {
  // The controller's own node, read-only; where there is none (or it cannot
  // be opened) the namespace node carries admin commands as well.
  int fd = -1;
  const std::string node = NvmeControllerNode(drives_[static_cast<size_t>(open.Drive)].Name, "");
  struct stat st {};
  if (!node.empty() && ::stat(node.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
    fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
  }
  const int result = ::ioctl(fd >= 0 ? fd : open.Fd, NVME_IOCTL_ADMIN_CMD, command);
  *error = errno;
  if (fd >= 0) ::close(fd);
  return result;
}

bool LinuxHost::NvmeRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                            uint32_t outSize, uint32_t* returned) {
  TNvmeQuery query;
  const uint32_t code = ParseNvmeQuery(in, inSize, outSize, &query);
  if (code != 0) return Fail(code, EINVAL);
  const int nsid = ::ioctl(open.Fd, NVME_IOCTL_ID);
  if (nsid < 0) return Fail(Win32FromNvmeResult(-1, errno), errno);
  std::vector<uint8_t> data(win::kNVME_IDENTIFY_DATA_SIZE, 0);
  uint8_t bytes[kNvmeAdminCmdSize];
  BuildNvmeAdminCommand(query, static_cast<uint32_t>(nsid),
                        reinterpret_cast<uintptr_t>(data.data()), bytes);
  nvme_admin_cmd command;
  std::memcpy(&command, bytes, sizeof command);
  int error = 0;
  const int result = NvmeAdmin(open, &command, &error);
  const uint32_t outcome = Win32FromNvmeResult(result, error);
  if (outcome != 0) return Fail(outcome, result < 0 ? error : EIO);
  *returned = BuildNvmeReply(query, data.data(), command.result, out);
  return Succeed();
}

// Device Self-test is no query but changes nothing on the drive: it goes
// this way, with its own allow-list (the three codes of ParseNvmeSelfTestRequest).
bool LinuxHost::NvmeSelfTestRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                    uint32_t outSize, uint32_t* returned) {
  uint8_t code = 0;
  if (const uint32_t refused = ParseNvmeSelfTestRequest(in, inSize, outSize, &code)) {
    return Fail(refused, EINVAL);
  }
  if (::ioctl(open.Fd, NVME_IOCTL_ID) < 0) return Fail(Win32FromNvmeResult(-1, errno), errno);
  uint8_t bytes[kNvmeAdminCmdSize];
  BuildNvmeSelfTestCommand(code, bytes);
  nvme_admin_cmd command;
  std::memcpy(&command, bytes, sizeof command);
  int error = 0;
  const int result = NvmeAdmin(open, &command, &error);
  if (result < 0) return Fail(Win32FromNvmeResult(result, error), error);
  // A positive result is the controller's status: the command completed.
  PutU32(out, 0, static_cast<uint32_t>(result));
  *returned = win::kNVME_SELF_TEST_OUT_SIZE;
  return Succeed();
}

}  // namespace quarnel
