// LinuxHost's IOCTL_ATA_PASS_THROUGH: the request's ATA_PASS_THROUGH_EX is
// carried by SG_IO ATA PASS-THROUGH (16), and the registers the drive
// returns come back in its task files, read from the sense data.
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {

namespace {

constexpr uint32_t kBlock = 512;
constexpr uint8_t kStatusReady = 0x50;

// The commands this request may carry, each with its protocol and width.
bool Allowed(const TPassThroughRequest& r) {
  const uint8_t command = r.Registers.Command;
  switch (command) {
    case 0xEC:  // IDENTIFY DEVICE
      return r.DataIn && !r.Ext;
    case 0x78:  // feature 0000h only: GET NATIVE MAX ADDRESS EXT (01h/02h set and freeze)
      return !r.DataIn && r.Ext && r.Registers.Features == 0 && r.Hob.Features == 0;
    case 0x27:  // READ NATIVE MAX ADDRESS EXT
      return !r.DataIn && r.Ext;
    case 0xF8:  // READ NATIVE MAX ADDRESS
      return !r.DataIn && !r.Ext;
    case 0xB1:  // feature C2h only: DEVICE CONFIGURATION IDENTIFY (C0h, C1h, C3h change the drive)
      return r.DataIn && !r.Ext && r.Registers.Features == 0xC2;
    default:
      return false;
  }
}

}  // namespace

uint32_t ParseAtaPassThrough(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                             TPassThroughRequest* request) {
  const uint32_t header = win::kATA_PASS_THROUGH_EX_SIZE;
  if (inSize < header || GetU16(in, win::kATA_PT_Length) != header) {
    return win::kERROR_INVALID_PARAMETER;
  }
  TPassThroughRequest r;
  const uint16_t flags = GetU16(in, win::kATA_PT_AtaFlags);
  r.Ext = (flags & win::kATA_FLAGS_48BIT_COMMAND) != 0;
  r.DataIn = (flags & win::kATA_FLAGS_DATA_IN) != 0;
  r.Registers = TaskFileFromIderegs(in + win::kATA_PT_CurrentTaskFile);
  if (r.Ext) r.Hob = TaskFileFromIderegs(in + win::kATA_PT_PreviousTaskFile);
  const uint32_t seconds = GetU32(in, win::kATA_PT_TimeOutValue);
  r.TimeoutMs = (seconds == 0 || seconds > 120 ? 120 : seconds) * 1000;
  if ((flags & (win::kATA_FLAGS_DATA_OUT | win::kATA_FLAGS_USE_DMA)) != 0 || !Allowed(r)) {
    return win::kERROR_INVALID_FUNCTION;
  }
  if (r.DataIn) {
    uint64_t offset = 0;
    for (uint32_t i = 0; i < sizeof(void*); ++i) {
      offset |= uint64_t{in[win::kATA_PT_DataBufferOffset + i]} << (8 * i);
    }
    if (GetU32(in, win::kATA_PT_DataTransferLength) != kBlock || offset < header) {
      return win::kERROR_INVALID_PARAMETER;
    }
    if (offset + kBlock > outSize) return win::kERROR_INSUFFICIENT_BUFFER;
    r.DataOffset = static_cast<uint32_t>(offset);
  } else if (outSize < header) {
    return win::kERROR_INSUFFICIENT_BUFFER;
  }
  *request = r;
  return 0;
}

bool PutReturnedRegisters(const TPassThroughRequest& r, const sgio::TSense& sense, uint8_t* out) {
  sgio::TAtaTaskFile current = r.Registers;
  sgio::TAtaTaskFile hob;
  if (sense.HasAtaStatus) {
    if (r.Ext && sense.HobLost) return false;
    current = sense.Registers;
    if (r.Ext && sense.Descriptor) hob = sense.Hob;
  } else {
    // A data command that completed without sense: its status was good.
    current.Features = 0;
    current.Command = kStatusReady;
  }
  PutIderegs(out + win::kATA_PT_CurrentTaskFile, current);
  if (r.Ext) PutIderegs(out + win::kATA_PT_PreviousTaskFile, hob);
  return true;
}

bool LinuxHost::AtaPassThroughRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                      uint32_t outSize, uint32_t* returned) {
  TPassThroughRequest r;
  if (uint32_t refused = ParseAtaPassThrough(in, inSize, outSize, &r)) {
    return Fail(refused, refused == win::kERROR_INVALID_FUNCTION ? ENOTTY : EINVAL);
  }
  const auto protocol = r.DataIn ? sgio::TAtaProtocol::PioDataIn : sgio::TAtaProtocol::NonData;
  auto cdb = r.Ext ? sgio::BuildAtaPassThrough16Ext(r.Registers, r.Hob, protocol)
                   : sgio::BuildAtaPassThrough16(r.Registers, protocol);
  uint8_t sense[64] = {};
  uint8_t data[kBlock] = {};
  sg_io_hdr_t h{};
  h.interface_id = 'S';
  h.cmd_len = static_cast<unsigned char>(cdb.size());
  h.cmdp = cdb.data();
  h.mx_sb_len = sizeof sense;
  h.sbp = sense;
  h.dxfer_direction = r.DataIn ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  h.dxferp = r.DataIn ? data : nullptr;
  h.dxfer_len = r.DataIn ? kBlock : 0;
  h.timeout = r.TimeoutMs;
  if (::ioctl(open.Fd, SG_IO, &h) != 0) {
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) return Fail(win::kERROR_INVALID_FUNCTION, error);
    return FailErrno(error);
  }
  sgio::TSgResult result{h.status, h.host_status, h.driver_status, sense, h.sb_len_wr};
  const sgio::TAtaOutcome outcome = sgio::JudgeAtaResult(result);
  // A drive that ended the command with ERR still answered: Windows returns
  // its registers, and so do we. Without them the request itself failed.
  const uint8_t key = outcome.Sense.Key;
  const bool registersGiven = outcome.Sense.HasAtaStatus && h.host_status == 0 &&
                              (key == sgio::kSenseNoSense || key == sgio::kSenseRecoveredError ||
                               key == sgio::kSenseAbortedCommand);
  if (outcome.Win32Error != 0 && !registersGiven) return Fail(outcome.Win32Error, EIO);
  std::memmove(out, in, win::kATA_PASS_THROUGH_EX_SIZE);
  if (!PutReturnedRegisters(r, outcome.Sense, out)) {
    // The kernel gave the answer in fixed format, which has no room for the
    // upper address bytes: no answer beats a wrong one.
    return Fail(win::kERROR_NOT_SUPPORTED, EOPNOTSUPP);
  }
  *returned = win::kATA_PASS_THROUGH_EX_SIZE;
  if (r.DataIn) {
    std::memcpy(out + r.DataOffset, data, kBlock);
    *returned = r.DataOffset + kBlock;
  }
  return Succeed();
}

}  // namespace quarnel
