// LinuxHost ATA commands: SMART_GET_VERSION, SMART_RCV_DRIVE_DATA,
// SMART_SEND_DRIVE_COMMAND and the miniport IDENTIFY, carried by SG_IO ATA
// PASS-THROUGH (16) and answered in the Windows reply layouts.
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
constexpr uint32_t kReplyHeader = 16;  // SENDCMDOUTPARAMS up to bBuffer
constexpr uint32_t kSmartTimeoutMs = 30000;
constexpr uint32_t kMiniportIdentify = 0x001B0501u;
constexpr uint32_t kMiniportReply = 572;
constexpr uint32_t kMiniportMinimum = win::kSRB_IO_CONTROL_SIZE + kReplyHeader + kBlock;  // 556
constexpr uint8_t kAtaIdentifyPacket = 0xA1;
constexpr uint8_t kSmartReadLog = win::kSMART_READ_LOG;

bool IsIdentify(uint8_t command) {
  return command == win::kATA_IDENTIFY_DEVICE || command == kAtaIdentifyPacket;
}

// Which commands these requests may carry: IDENTIFY and the SMART features
// the program sends, each by name. Data-in for the reads (one block only),
// non-data for the rest; EXECUTE OFF-LINE IMMEDIATE only for the self-tests
// in off-line mode and their abort (the captive forms hold the drive busy
// past any time-out, off-line data collection is not asked for). Never SMART
// WRITE LOG nor the attribute autosave switches. False: refused.
bool Classify(const TAtaRegisters& r, bool* dataIn) {
  if (IsIdentify(r.Command)) {
    *dataIn = true;
    return true;
  }
  if (r.Command != win::kATA_SMART) return false;
  *dataIn = false;
  switch (r.Features) {
    case win::kSMART_READ_DATA:
    case win::kSMART_READ_THRESHOLDS:
      *dataIn = true;
      return true;
    case kSmartReadLog:
      *dataIn = true;
      return r.SectorCount == 1;
    case win::kSMART_EXECUTE_OFFLINE_DIAGS:
      return r.SectorNumber == 0x01 || r.SectorNumber == 0x02 || r.SectorNumber == 0x03 ||
             r.SectorNumber == 0x7F;
    case win::kSMART_ENABLE_OPERATIONS:
    case win::kSMART_DISABLE_OPERATIONS:
    case win::kSMART_RETURN_STATUS:
      return true;
    default:
      return false;
  }
}

std::string AtaText(const uint8_t* id, int firstWord, int words) {
  std::string text;
  for (int w = firstWord; w < firstWord + words; ++w) {
    text += static_cast<char>(id[2 * w + 1]);
    text += static_cast<char>(id[2 * w]);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  const size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

uint32_t SgIo(int fd, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t length,
              uint32_t timeoutMs, TSgAnswer* answer) {
  *answer = TSgAnswer{};
  sg_io_hdr_t h{};
  h.interface_id = 'S';
  h.cmd_len = static_cast<unsigned char>(cdbLength);
  h.cmdp = const_cast<uint8_t*>(cdb);
  h.mx_sb_len = sizeof answer->Sense;
  h.sbp = answer->Sense;
  h.dxfer_direction = length > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  h.dxferp = length > 0 ? data : nullptr;
  h.dxfer_len = length;
  h.timeout = timeoutMs;
  if (::ioctl(fd, SG_IO, &h) != 0) {
    answer->Errno = errno;
    // Devices without SCSI pass-through (loop, virtio-blk, NVMe) answer
    // ENOTTY or EINVAL: the request is not one they know.
    if (answer->Errno == ENOTTY || answer->Errno == EINVAL) return win::kERROR_INVALID_FUNCTION;
    return Win32FromErrno(answer->Errno);
  }
  answer->ScsiStatus = h.status;
  answer->HostStatus = h.host_status;
  answer->DriverStatus = h.driver_status;
  answer->Resid = h.resid;
  answer->SenseLength = h.sb_len_wr;
  return 0;
}

uint32_t SgAtaCommand(int fd, const TAtaTaskFile& command, bool dataIn, uint8_t* data,
                      uint32_t timeoutMs, TSgAnswer* answer, sgio::TAtaOutcome* outcome) {
  const auto cdb = sgio::BuildAtaPassThrough16(
      command, dataIn ? sgio::TAtaProtocol::PioDataIn : sgio::TAtaProtocol::NonData);
  if (uint32_t failed =
          SgIo(fd, cdb.data(), cdb.size(), data, dataIn ? kBlock : 0, timeoutMs, answer)) {
    return failed;
  }
  const TSgAnswer& a = *answer;
  const sgio::TAtaOutcome judged =
      sgio::JudgeAtaResult({a.ScsiStatus, a.HostStatus, a.DriverStatus, a.Sense, a.SenseLength});
  if (outcome) *outcome = judged;
  return judged.Win32Error;
}

bool SgInquirySerial(int fd, std::string* serial) {
  uint8_t page[252] = {};
  const auto cdb = sgio::BuildInquiryVpd(0x80, sizeof page);
  TSgAnswer a;
  if (SgIo(fd, cdb.data(), cdb.size(), page, sizeof page, kSmartTimeoutMs, &a) != 0 ||
      a.ScsiStatus != 0 || a.HostStatus != 0 || (a.DriverStatus & 0x0F) != 0) {
    return false;
  }
  const size_t got = sizeof page - static_cast<size_t>(std::max(a.Resid, 0));
  *serial = SerialFromVpd80(page, got);
  return !serial->empty();
}

namespace {
// IDENTIFY DEVICE of the disk itself (master, one sector).
uint32_t IdentifyThroughPassThrough(int fd, uint8_t* block, int* error) {
  TAtaTaskFile t;
  t.Current = {0, 1, 1, 0, 0, win::kATA_DRIVE_HEAD_BASE, win::kATA_IDENTIFY_DEVICE};
  TSgAnswer answer;
  const uint32_t failed = SgAtaCommand(fd, t, true, block, kSmartTimeoutMs, &answer);
  *error = answer.Errno;
  return failed;
}
}  // namespace

void AtaTextsFromIdentify(int fd, TDeviceTexts* texts) {
  uint8_t id[kBlock] = {};
  int error = 0;
  if (IdentifyThroughPassThrough(fd, id, &error) != 0) return;
  const std::string model = AtaText(id, 27, 20);
  if (model.empty()) return;
  texts->Vendor.clear();  // Windows names an ATA disk by its model alone
  texts->Product = model;
  texts->Revision = AtaText(id, 23, 4);
  const std::string serial = AtaText(id, 10, 10);
  if (!serial.empty()) texts->Serial = serial;
}

bool LinuxHost::SmartVersion(TOpen& open, uint8_t* out, uint32_t outSize, uint32_t* returned) {
  if (outSize < win::kGETVERSIONINPARAMS_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
  // A drive that answers IDENTIFY through ATA PASS-THROUGH speaks ATA.
  uint8_t data[kBlock] = {};
  int error = 0;
  if (uint32_t failed = IdentifyThroughPassThrough(open.Fd, data, &error)) {
    return Fail(failed, error);
  }
  std::memset(out, 0, win::kGETVERSIONINPARAMS_SIZE);
  out[win::kGETVERSION_bVersion] = 1;
  out[win::kGETVERSION_bRevision] = 1;
  out[win::kGETVERSION_bIDEDeviceMap] = 0x01;  // one master device: the disk itself
  PutU32(out, win::kGETVERSION_fCapabilities, win::kCAP_ATA_ID_CMD | win::kCAP_SMART_CMD);
  *returned = win::kGETVERSIONINPARAMS_SIZE;
  return Succeed();
}

uint32_t ParseAtaRequest(uint32_t code, const uint8_t* in, uint32_t inSize, uint32_t outSize,
                         TAtaRequest* request) {
  TAtaRequest r;
  r.Miniport = code == win::kIOCTL_SCSI_MINIPORT;
  const uint32_t at = r.Miniport ? win::kSRB_IO_CONTROL_SIZE : 0;  // where SENDCMDINPARAMS starts
  if (inSize < at + 32) return win::kERROR_INVALID_PARAMETER;
  if (r.Miniport) {
    if (GetU32(in, win::kSRB_HeaderLength) != win::kSRB_IO_CONTROL_SIZE ||
        std::memcmp(in + win::kSRB_Signature, "SCSIDISK", 8) != 0 ||
        GetU32(in, win::kSRB_ControlCode) != kMiniportIdentify) {
      return win::kERROR_INVALID_FUNCTION;
    }
    const uint32_t seconds = GetU32(in, win::kSRB_Timeout);
    r.TimeoutMs = (seconds == 0 || seconds > 120 ? 120 : seconds) * 1000;
  }
  r.Registers = IderegsAt(in + at + win::kSENDCMDIN_irDriveRegs);
  if (!Classify(r.Registers, &r.DataIn) || (r.Miniport && !IsIdentify(r.Registers.Command)) ||
      (code == win::kSMART_RCV_DRIVE_DATA && !r.DataIn) ||
      (r.DataIn && GetU32(in, at + win::kSENDCMDIN_cBufferSize) < kBlock)) {
    return win::kERROR_INVALID_PARAMETER;
  }
  r.ReturnsRegisters = !r.Miniport && r.Registers.Command == win::kATA_SMART &&
                       r.Registers.Features == win::kSMART_RETURN_STATUS;
  const uint32_t needed = r.Miniport           ? kMiniportMinimum
                          : r.ReturnsRegisters ? kReplyHeader + win::kIDEREGS_SIZE
                                               : kReplyHeader + (r.DataIn ? kBlock : 0);
  if (outSize < needed) return win::kERROR_INSUFFICIENT_BUFFER;
  r.ReplySize = r.Miniport ? std::min(outSize, kMiniportReply) : needed;
  *request = r;
  return 0;
}

uint32_t BuildAtaReply(const TAtaRequest& r, const uint8_t* in, const uint8_t* data, uint8_t* out,
                       const TAtaRegisters& returned) {
  // SENDCMDOUTPARAMS, behind the SRB_IO_CONTROL header for the miniport.
  const uint32_t at = r.Miniport ? win::kSRB_IO_CONTROL_SIZE : 0;
  std::memset(out, 0, r.ReplySize);
  if (r.Miniport) {
    std::memcpy(out, in, win::kSRB_IO_CONTROL_SIZE);
    PutU32(out, win::kSRB_ReturnCode, 0);
    PutU32(out, win::kSRB_Length, kMiniportReply - win::kSRB_IO_CONTROL_SIZE);
  }
  PutU32(out, at + win::kSENDCMDOUT_cBufferSize, r.DataIn ? kBlock : 0);
  if (r.DataIn) std::memcpy(out + at + win::kSENDCMDOUT_bBuffer, data, kBlock);
  if (r.ReturnsRegisters) {
    PutU32(out, win::kSENDCMDOUT_cBufferSize, win::kIDEREGS_SIZE);
    PutIderegs(out + win::kSENDCMDOUT_bBuffer, returned);
  }
  return r.ReplySize;
}

bool LinuxHost::AtaRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize,
                           uint8_t* out, uint32_t outSize, uint32_t* returned) {
  if (code == win::kSMART_GET_VERSION) return SmartVersion(open, out, outSize, returned);
  TAtaRequest request;
  if (uint32_t refused = ParseAtaRequest(code, in, inSize, outSize, &request)) {
    return Fail(refused, refused == win::kERROR_INVALID_FUNCTION ? ENOTTY : EINVAL);
  }
  uint8_t data[kBlock] = {};
  TAtaTaskFile command;
  command.Current = request.Registers;
  TSgAnswer answer;
  sgio::TAtaOutcome outcome;
  if (uint32_t failed = SgAtaCommand(open.Fd, command, request.DataIn, data, request.TimeoutMs,
                                     &answer, &outcome)) {
    return Fail(failed, answer.Errno);
  }
  // Non-data commands ask for CK_COND, so the registers come in the sense
  // data; without them the reply holds zeros, which names no answer.
  const sgio::TSense& sense = outcome.Sense;
  const TAtaRegisters registers = sense.HasAtaStatus ? sense.Registers.Current : TAtaRegisters{};
  *returned = BuildAtaReply(request, in, data, out, registers);
  return Succeed();
}

}  // namespace quarnel
