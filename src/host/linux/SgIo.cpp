#include "host/linux/SgIo.h"

#include <algorithm>

#include "host/HostConstants.h"

namespace quarnel::sgio {

namespace {
// ATA PASS-THROUGH byte 1: protocol in bits 4..1.
constexpr uint8_t kProtocolNonData = 3 << 1;
constexpr uint8_t kProtocolPioIn = 4 << 1;
constexpr uint8_t kExtend = 0x01;
// Byte 2: CK_COND 20h, T_DIR (from device) 08h, BYTE_BLOCK 04h, T_LENGTH in
// the sector count field 02h.
constexpr uint8_t kCheckCondition = 0x20;
constexpr uint8_t kFlagsPioIn = 0x08 | 0x04 | 0x02;
constexpr uint8_t kFlagsNonData = kCheckCondition;

constexpr uint8_t kDescriptorAtaStatusReturn = 0x09;

void ParseDescriptorFormat(const uint8_t* s, size_t length, TSense& sense) {
  if (length < 4) return;
  sense.Key = s[1] & 0x0F;
  sense.Asc = s[2];
  sense.Ascq = s[3];
  const size_t end = length < 8 ? length : std::min<size_t>(length, 8 + size_t{s[7]});
  for (size_t at = 8; at + 2 <= end;) {
    const uint8_t type = s[at];
    const size_t size = 2 + size_t{s[at + 1]};
    if (type == kDescriptorAtaStatusReturn && at + 14 <= end) {
      const uint8_t* d = s + at;
      sense.HasAtaStatus = true;
      TAtaTaskFile& r = sense.Registers;
      r.Current = {d[3], d[5], d[7], d[9], d[11], d[12], d[13]};  // error ... status
      r.Previous = {0, d[4], d[6], d[8], d[10], 0, 0};
      r.Ext = (d[2] & 0x01) != 0;
    }
    at += size;
  }
}

void ParseFixedFormat(const uint8_t* s, size_t length, TSense& sense) {
  if (length < 3) return;
  sense.Key = s[2] & 0x0F;
  if (length >= 14) {
    sense.Asc = s[12];
    sense.Ascq = s[13];
  }
  // The information field carries error, status, device and count; the
  // command-specific field the LBA bytes.
  if (length >= 12) {
    sense.HasAtaStatus = true;
    // Error, status, device, count; then LBA 7:0, 15:8, 23:16.
    sense.Registers.Current = {s[3], s[6], s[9], s[10], s[11], s[5], s[4]};
    // Byte 8: EXTEND, COUNT UPPER NONZERO, LBA UPPER NONZERO. The upper
    // bytes themselves have no place in this format.
    sense.Registers.Ext = (s[8] & 0x80) != 0;
    sense.HobLost = (s[8] & 0x60) != 0;
  }
}

uint32_t SenseKeyError(uint8_t key) {
  switch (key) {
    case kSenseIllegalRequest:
      return win::kERROR_INVALID_FUNCTION;  // e.g. INVALID COMMAND OPERATION CODE: no SAT
    case kSenseNotReady:
      return win::kERROR_NOT_READY;
    default:
      return win::kERROR_IO_DEVICE;
  }
}
}  // namespace

std::array<uint8_t, kCdbSize> BuildAtaPassThrough16(const TAtaTaskFile& command,
                                                    TAtaProtocol protocol) {
  const bool dataIn = protocol == TAtaProtocol::PioDataIn;
  std::array<uint8_t, kCdbSize> cdb{};
  cdb[0] = kAtaPassThrough16;
  cdb[1] = dataIn ? kProtocolPioIn : kProtocolNonData;
  cdb[2] = dataIn ? kFlagsPioIn : kFlagsNonData;
  if (command.Ext) {
    cdb[1] |= kExtend;
    cdb[2] |= kCheckCondition;
  }
  // Features, count and the three LBA bytes from byte 4 on, each low-order
  // byte at an even offset and, for a 48-bit command, its high-order one
  // just before it.
  const TAtaRegisters& lo = command.Current;
  const TAtaRegisters& hi = command.Previous;
  const uint8_t low[] = {lo.Features, lo.SectorCount, lo.SectorNumber, lo.CylLow, lo.CylHigh};
  const uint8_t high[] = {hi.Features, hi.SectorCount, hi.SectorNumber, hi.CylLow, hi.CylHigh};
  for (size_t i = 0; i < 5; ++i) {
    cdb[4 + 2 * i] = low[i];
    if (command.Ext) cdb[3 + 2 * i] = high[i];
  }
  cdb[13] = lo.DriveHead;
  cdb[14] = lo.Command;
  return cdb;
}

std::array<uint8_t, 6> BuildInquiryVpd(uint8_t page, uint16_t allocationLength) {
  return {0x12,
          0x01,
          page,
          static_cast<uint8_t>(allocationLength >> 8),
          static_cast<uint8_t>(allocationLength),
          0};
}

TSense ParseSense(const uint8_t* sense, size_t length) {
  TSense result;
  if (!sense || length < 1) return result;
  const uint8_t code = sense[0] & 0x7F;
  if (code == 0x72 || code == 0x73) {
    result.Valid = true;
    result.Descriptor = true;
    ParseDescriptorFormat(sense, length, result);
  } else if (code == 0x70 || code == 0x71) {
    result.Valid = true;
    ParseFixedFormat(sense, length, result);
  }
  return result;
}

TAtaOutcome JudgeAtaResult(const TSgResult& r) {
  TAtaOutcome outcome;
  outcome.Sense = ParseSense(r.Sense, r.SenseLength);
  if (r.HostStatus != 0) {
    outcome.Win32Error =
        r.HostStatus == kHostTimeOut ? win::kERROR_SEM_TIMEOUT : win::kERROR_IO_DEVICE;
    return outcome;
  }
  const uint16_t driver = r.DriverStatus & 0x0F;
  if (driver != 0 && driver != kDriverSense) {
    outcome.Win32Error = driver == kDriverTimeOut ? win::kERROR_SEM_TIMEOUT : win::kERROR_IO_DEVICE;
    return outcome;
  }
  if (r.ScsiStatus != kScsiGood && r.ScsiStatus != kScsiCheckCondition) {
    outcome.Win32Error = win::kERROR_BUSY;  // BUSY, RESERVATION CONFLICT, TASK SET FULL
    return outcome;
  }
  const TSense& s = outcome.Sense;
  if (r.ScsiStatus == kScsiGood && !s.Valid) return outcome;
  if (!s.Valid) {
    outcome.Win32Error = win::kERROR_IO_DEVICE;  // check condition without readable sense
    return outcome;
  }
  // NO SENSE and RECOVERED ERROR (ATA PASS-THROUGH INFORMATION AVAILABLE) carry
  // the registers of a command that ran; the status bits tell whether it failed.
  if (s.Key == kSenseNoSense || s.Key == kSenseRecoveredError) {
    if (s.HasAtaStatus && (s.Registers.Current.Command & (kAtaStatusErr | kAtaStatusDf)) != 0) {
      outcome.Win32Error = win::kERROR_IO_DEVICE;
    }
    return outcome;
  }
  outcome.Win32Error = SenseKeyError(s.Key);
  return outcome;
}

}  // namespace quarnel::sgio
