// ATA commands of the simulated drives: SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND,
// SMART_RCV_DRIVE_DATA and IOCTL_SCSI_MINIPORT, answered with the Windows
// reply layouts. Fault keys of docs/simulation.md refuse requests or change
// the byte count a reply reports.
#include <algorithm>
#include <cstring>
#include <optional>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

constexpr size_t kWord85Low = 2 * 85;
constexpr size_t kChecksumSignature = 510;
constexpr uint8_t kChecksumValid = 0xA5;

// The reported byte count set by a fault key, never above the output area.
std::optional<uint32_t> ReportedBytes(const TSimDrive& d, const char* key, uint32_t outSize) {
  if (!d.Faults.is_object() || !d.Faults.contains(key)) return std::nullopt;
  return std::min(d.Faults.at(key).get<uint32_t>(), outSize);
}

// The drive's IDENTIFY block as it stands now: word 85 bit 0 follows the
// SMART state, and a valid checksum (word 255) stays valid.
std::vector<uint8_t> CurrentIdentify(const TSimDrive& d) {
  std::vector<uint8_t> block = d.Identify;
  block[kWord85Low] = static_cast<uint8_t>((block[kWord85Low] & ~1u) | (d.SmartEnabled ? 1 : 0));
  if (block[kChecksumSignature] == kChecksumValid) {
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < block.size(); ++i) sum = static_cast<uint8_t>(sum + block[i]);
    block.back() = static_cast<uint8_t>(-sum);
  }
  return block;
}

// RETURN STATUS: IDEREGS with the cylinder registers 4Fh/C2h for a drive
// that passes, F4h/2Ch for one that predicts its failure; status DRDY|DSC.
std::vector<uint8_t> ReturnStatusRegisters(const TSimDrive& d, const uint8_t* sent) {
  std::vector<uint8_t> r(win::kIDEREGS_SIZE, 0);
  r[win::kIDEREGS_bSectorCountReg] = sent[win::kIDEREGS_bSectorCountReg];
  r[win::kIDEREGS_bSectorNumberReg] = sent[win::kIDEREGS_bSectorNumberReg];
  r[win::kIDEREGS_bCylLowReg] = d.SmartFailing ? win::kSMART_CYL_LOW_EXCEEDED : win::kSMART_CYL_LOW;
  r[win::kIDEREGS_bCylHighReg] = d.SmartFailing ? win::kSMART_CYL_HI_EXCEEDED : win::kSMART_CYL_HI;
  r[win::kIDEREGS_bDriveHeadReg] = sent[win::kIDEREGS_bDriveHeadReg];
  r[win::kIDEREGS_bCommandReg] = 0x50;
  return r;
}

void ReadRegisters(const uint8_t* block, TSimAtaCommand& seen) {
  seen.BufferSize = GetU32(block, win::kSENDCMDIN_cBufferSize);
  const uint8_t* regs = block + win::kSENDCMDIN_irDriveRegs;
  seen.Features = regs[win::kIDEREGS_bFeaturesReg];
  seen.DriveHead = regs[win::kIDEREGS_bDriveHeadReg];
  seen.Command = regs[win::kIDEREGS_bCommandReg];
  seen.DriveNumber = block[win::kSENDCMDIN_bDriveNumber];
}

}  // namespace

bool SimHost::AtaRequest(TSimDrive& d, uint32_t code, const uint8_t* in, uint32_t inSize,
                         uint8_t* out, uint32_t outSize, uint32_t* returned) {
  TSimAtaCommand seen;
  seen.Request = code;
  seen.InSize = inSize;
  seen.OutSize = outSize;
  bool ok = false;
  if (d.Identify.empty()) {
    // A drive without an IDENTIFY block does not speak ATA.
    ok = Fail(win::kERROR_INVALID_FUNCTION);
  } else if (code == win::kSMART_GET_VERSION) {
    ok = !Refused(d, "smart_version");
    if (ok && outSize < win::kGETVERSIONINPARAMS_SIZE) ok = Fail(win::kERROR_INSUFFICIENT_BUFFER);
    if (ok) {
      uint8_t v[win::kGETVERSIONINPARAMS_SIZE] = {};
      v[win::kGETVERSION_bVersion] = 1;
      v[win::kGETVERSION_bRevision] = 1;
      v[win::kGETVERSION_bIDEDeviceMap] = d.IdeSlave ? 0x02 : 0x01;
      PutU32(v, win::kGETVERSION_fCapabilities, win::kCAP_ATA_ID_CMD | win::kCAP_SMART_CMD);
      std::memcpy(out, v, sizeof v);
      *returned = sizeof v;
      ok = Succeed();
    }
  } else if (code == win::kIOCTL_SCSI_MINIPORT) {
    ok = MiniportRequest(d, in, inSize, out, outSize, returned, seen);
  } else {
    ok = SmartRequest(d, code, in, inSize, out, outSize, returned, seen);
  }
  seen.Accepted = ok;
  d.AtaCommands.push_back(seen);
  if (ok && seen.Command != 0) {
    d.Commands.push_back(seen.Command == win::kATA_SMART ? seen.Features : seen.Command);
  }
  return ok;
}

// SMART_RCV_DRIVE_DATA and SMART_SEND_DRIVE_COMMAND: both carry any of the
// drive's commands; they differ in their refusal key and byte-count key.
bool SimHost::SmartRequest(TSimDrive& d, uint32_t code, const uint8_t* in, uint32_t inSize,
                           uint8_t* out, uint32_t outSize, uint32_t* returned,
                           TSimAtaCommand& seen) {
  const bool receive = code == win::kSMART_RCV_DRIVE_DATA;
  if (inSize < win::kSENDCMDIN_SIZE_NO_DATA) return Fail(win::kERROR_INVALID_PARAMETER);
  ReadRegisters(in, seen);
  if (Refused(d, receive ? "smart_rcv" : "smart_send")) return false;
  const uint8_t* regs = in + win::kSENDCMDIN_irDriveRegs;
  std::vector<uint8_t> data;
  bool dataCommand = true;
  if (seen.Command == win::kATA_IDENTIFY_DEVICE) {
    data = CurrentIdentify(d);
  } else if (seen.Command == win::kATA_SMART &&
             regs[win::kIDEREGS_bCylLowReg] == win::kSMART_CYL_LOW &&
             regs[win::kIDEREGS_bCylHighReg] == win::kSMART_CYL_HI && !d.Smart.empty()) {
    switch (seen.Features) {
      case win::kSMART_ENABLE_OPERATIONS:
        d.SmartEnabled = true;
        break;
      case win::kSMART_DISABLE_OPERATIONS:
        d.SmartEnabled = false;
        break;
      case win::kSMART_RETURN_STATUS:
        // The answer is in the registers, laid out as Windows returns them.
        if (!d.SmartEnabled) return Fail(win::kERROR_INVALID_FUNCTION);
        data = ReturnStatusRegisters(d, regs);
        dataCommand = false;
        break;
      case win::kSMART_READ_DATA:
      case win::kSMART_READ_THRESHOLDS:
        // A drive with SMART switched off aborts the reads.
        if (!d.SmartEnabled) return Fail(win::kERROR_INVALID_FUNCTION);
        data = seen.Features == win::kSMART_READ_DATA ? SmartPageNow(d) : d.Thresholds;
        if (data.empty()) return Fail(win::kERROR_INVALID_FUNCTION);
        break;
      case win::kSMART_EXECUTE_OFFLINE_DIAGS:
        if (!AtaSelfTest(d, regs[win::kIDEREGS_bSectorNumberReg])) return false;
        dataCommand = false;
        break;
      case win::kSMART_READ_LOG:
        // The self-test log only, one sector.
        if (!d.SmartEnabled || !SelfTestOffered(d, false) ||
            regs[win::kIDEREGS_bSectorNumberReg] != 0x06 ||
            regs[win::kIDEREGS_bSectorCountReg] != 1) {
          return Fail(win::kERROR_INVALID_FUNCTION);
        }
        data = AtaSelfTestLog(d);
        break;
      default:
        return Fail(win::kERROR_INVALID_FUNCTION);
    }
  } else {
    return Fail(win::kERROR_INVALID_FUNCTION);
  }
  if (dataCommand && !data.empty() && seen.BufferSize < win::kSMART_DATA_SIZE) {
    return Fail(win::kERROR_INVALID_PARAMETER);
  }
  const uint32_t size = win::kSENDCMDOUT_HEADER_SIZE + static_cast<uint32_t>(data.size());
  if (outSize < size) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
  std::memset(out, 0, size);
  PutU32(out, win::kSENDCMDOUT_cBufferSize, static_cast<uint32_t>(data.size()));
  if (!data.empty()) std::memcpy(out + win::kSENDCMDOUT_bBuffer, data.data(), data.size());
  *returned = ReportedBytes(d, receive ? "rcv_bytes" : "send_bytes", outSize).value_or(size);
  return Succeed();
}

// IOCTL_SCSI_MINIPORT with IOCTL_SCSI_MINIPORT_IDENTIFY: the SRB_IO_CONTROL
// comes back in front, SENDCMDOUTPARAMS at 28, the IDENTIFY block at 44.
bool SimHost::MiniportRequest(TSimDrive& d, const uint8_t* in, uint32_t inSize, uint8_t* out,
                              uint32_t outSize, uint32_t* returned, TSimAtaCommand& seen) {
  if (inSize < win::kMINIPORT_SENDCMD + win::kSENDCMDIN_SIZE_NO_DATA) {
    return Fail(win::kERROR_INVALID_PARAMETER);
  }
  ReadRegisters(in + win::kMINIPORT_SENDCMD, seen);
  if (Refused(d, "miniport")) return false;
  if (GetU32(in, win::kSRB_HeaderLength) != win::kSRB_IO_CONTROL_SIZE ||
      std::memcmp(in + win::kSRB_Signature, win::kSRB_SIGNATURE_SCSIDISK, 8) != 0 ||
      GetU32(in, win::kSRB_ControlCode) != win::kIOCTL_SCSI_MINIPORT_IDENTIFY ||
      seen.Command != win::kATA_IDENTIFY_DEVICE) {
    return Fail(win::kERROR_INVALID_PARAMETER);
  }
  if (outSize < win::kMINIPORT_MIN_REPLY) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
  const uint32_t size = std::min(outSize, win::kMINIPORT_IDENTIFY_SIZE);
  std::memset(out, 0, size);
  std::memcpy(out, in, win::kSRB_IO_CONTROL_SIZE);
  PutU32(out, win::kSRB_ReturnCode, 0);
  PutU32(out, win::kMINIPORT_SENDCMD + win::kSENDCMDOUT_cBufferSize, win::kSMART_DATA_SIZE);
  const std::vector<uint8_t> block = CurrentIdentify(d);
  std::memcpy(out + win::kMINIPORT_DATA, block.data(), block.size());
  *returned = ReportedBytes(d, "miniport_bytes", outSize).value_or(size);
  return Succeed();
}

std::string SetSimWwn(const std::string& digits, TSimDrive& d) {
  if (digits.empty() || digits.size() % 2 != 0 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return "\"wwn\" must be an even number of hexadecimal digits";
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  if (!d.Identify.empty()) {
    if (bytes.size() != 8) return "\"wwn\" of an ATA drive has 16 hexadecimal digits";
    // Words 108-111, each word's high byte first in the text.
    for (size_t w = 0; w < 4; ++w) {
      d.Identify[2 * (108 + w)] = bytes[2 * w + 1];
      d.Identify[2 * (108 + w) + 1] = bytes[2 * w];
    }
    for (size_t word : {84, 87}) {
      d.Identify[2 * word + 1] = static_cast<uint8_t>((d.Identify[2 * word + 1] & 0x3E) | 0x41);
    }
    return "";
  }
  if (d.NvmeNamespace.empty())
    return "\"wwn\" needs an IDENTIFY or an NVMe Identify Namespace block";
  if (bytes.size() == 8) {
    std::copy(bytes.begin(), bytes.end(), d.NvmeNamespace.begin() + 120);
  } else if (bytes.size() == 16) {
    std::copy(bytes.begin(), bytes.end(), d.NvmeNamespace.begin() + 104);
  } else {
    return "\"wwn\" of an NVMe drive has 16 (EUI64) or 32 (NGUID) hexadecimal digits";
  }
  return "";
}

}  // namespace quarnel
