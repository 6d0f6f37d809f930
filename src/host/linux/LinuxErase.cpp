// LinuxHost's side of a drive's own erase: ATA SANITIZE through SG_IO ATA
// PASS-THROUGH (16), Format NVM and Sanitize through NVME_IOCTL_ADMIN_CMD on
// the drive's own node, which the program holds open for writing.
#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>

#include "host/Bytes.h"
#include "host/EraseRequests.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/linux/LinuxHost.h"
#include "host/linux/SgIoErase.h"

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
  TAtaCommand48 c;
  uint32_t timeout = 0;
  if (const uint32_t refused = ParseAtaPassThroughEx(in, inSize, outSize, &c, &timeout)) {
    return Fail(refused, EINVAL);
  }
  // SANITIZE DEVICE only, and of it the status read and the three erases:
  // never a freeze lock or anything else that changes the drive's state.
  if (c.Command != kSanitizeDeviceCommand || (c.Features != 0x0000 && c.Features != 0x0011 &&
                                              c.Features != 0x0012 && c.Features != 0x0014)) {
    return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  }
  auto cdb = sgio::BuildAtaPassThrough16Ext(c);
  uint8_t sense[64] = {};
  sg_io_hdr_t h{};
  h.interface_id = 'S';
  h.cmd_len = static_cast<unsigned char>(cdb.size());
  h.cmdp = cdb.data();
  h.mx_sb_len = sizeof sense;
  h.sbp = sense;
  h.dxfer_direction = SG_DXFER_NONE;
  h.timeout = (timeout == 0 ? 60 : timeout) * 1000;
  if (::ioctl(open.Fd, SG_IO, &h) != 0) {
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) return Fail(win::kERROR_INVALID_FUNCTION, error);
    return FailErrno(error);
  }
  if (h.host_status != 0 || (h.driver_status & 0x0F & ~0x08) != 0) {
    return Fail(h.host_status == 0x03 ? win::kERROR_SEM_TIMEOUT : win::kERROR_IO_DEVICE, EIO);
  }
  // As on Windows, the request succeeds when the drive answered, and the
  // registers tell what it said (ERR for a refusal).
  TAtaReturn48 r;
  if (!sgio::ParseAtaReturn48(sense, h.sb_len_wr, &r)) {
    if (h.status != 0) return Fail(win::kERROR_INVALID_FUNCTION, EIO);  // no ATA behind it
    r.Status = 0x40;
  }
  std::memmove(out, in, win::kATA_PASS_THROUGH_EX_SIZE);
  PutAtaReturn(r, out);
  *returned = win::kATA_PASS_THROUGH_EX_SIZE;
  return Succeed();
}

}  // namespace quarnel
