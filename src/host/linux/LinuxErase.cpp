// LinuxHost's side of a drive's own erase: ATA SANITIZE through SG_IO ATA
// PASS-THROUGH (16), Format NVM and Sanitize through NVME_IOCTL_ADMIN_CMD on
// the drive's own node, which the program holds open for writing.
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>

#include "host/AtaRequests.h"
#include "host/Bytes.h"
#include "host/EraseRequests.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {

bool LinuxHost::EraseRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize,
                             uint8_t* out, uint32_t outSize, uint32_t* returned) {
  if (!(open.Access & win::kGENERIC_WRITE)) return Fail(win::kERROR_ACCESS_DENIED, EACCES);
  // Checked again on the open descriptor itself, just before the command: a
  // drive's own erase goes to a whole disk with its controller, never to a
  // mapping that would pass it on to the disks below.
  struct stat st {};
  if (::fstat(open.Fd, &st) != 0 || !S_ISBLK(st.st_mode) ||
      !WholeDiskRefusal("", major(st.st_rdev), minor(st.st_rdev), true).empty()) {
    return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  }
  if (code == win::kQUARNEL_IOCTL_NVME_ERASE) {
    TNvmeErase e;
    if (const uint32_t refused = ParseNvmeEraseRequest(in, inSize, outSize, &e)) {
      return Fail(refused, EINVAL);
    }
    if (e.Opcode == kNvmeAdminFormatNvm && e.Nsid == 0) {
      const int nsid = ::ioctl(open.Fd, NVME_IOCTL_ID);
      if (nsid < 0) return Fail(Win32FromNvmeResult(-1, errno), errno);
      e.Nsid = static_cast<uint32_t>(nsid);
    }
    uint8_t bytes[kNvmeAdminCmdSize];
    NvmeAdminFromErase(e, bytes);
    nvme_admin_cmd command;
    std::memcpy(&command, bytes, sizeof command);
    const int result = ::ioctl(open.Fd, NVME_IOCTL_ADMIN_CMD, &command);
    if (result < 0) return Fail(Win32FromNvmeResult(result, errno), errno);
    // A positive result is the controller's status: the command completed.
    PutU32(out, 0, static_cast<uint32_t>(result));
    PutU32(out, 4, command.result);
    *returned = win::kNVME_ERASE_OUT_SIZE;
    return Succeed();
  }
  TAtaPassThroughRequest request;
  if (const uint32_t refused = ParseAtaEraseRequest(in, inSize, outSize, &request)) {
    return Fail(refused, EINVAL);
  }
  if (!IsAtaEraseCommand(request.TaskFile)) return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  const uint32_t seconds = request.TimeoutSeconds;
  TSgAnswer answer;
  sgio::TAtaOutcome outcome;
  const uint32_t failed = SgAtaCommand(open.Fd, request.TaskFile, false, nullptr,
                                       (seconds == 0 ? 60 : seconds) * 1000, &answer, &outcome);
  if (answer.Errno != 0) return Fail(failed, answer.Errno);
  // The transport's verdict only: the drive's own is in its registers.
  if (answer.HostStatus != 0 || (answer.DriverStatus & 0x0F & ~0x08) != 0) {
    return Fail(answer.HostStatus == 0x03 ? win::kERROR_SEM_TIMEOUT : win::kERROR_IO_DEVICE, EIO);
  }
  // As on Windows, the request succeeds when the drive answered, and the
  // registers tell what it said (ERR for a refusal): those of the ATA status
  // return descriptor, the high-order bytes where it says EXTEND.
  const sgio::TSense& sense = outcome.Sense;
  TAtaTaskFile r;
  r.Ext = true;
  if (sense.HasAtaStatus && sense.Descriptor) {
    r.Current = sense.Registers.Current;
    if (sense.Registers.Ext) r.Previous = sense.Registers.Previous;
  } else {
    if (answer.ScsiStatus != 0) return Fail(win::kERROR_INVALID_FUNCTION, EIO);  // no ATA behind it
    r.Current.Command = kAtaStatusDrdy;
  }
  std::memmove(out, in, win::kATA_PASS_THROUGH_EX_SIZE);
  PutTaskFile(out, r);
  *returned = win::kATA_PASS_THROUGH_EX_SIZE;
  return Succeed();
}

}  // namespace quarnel
