#include "ata/AtaCommands.h"

#include <cstring>
#include <vector>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

// SENDCMDINPARAMS with its first data byte; the requests send 32 or 33 of it.
using TSendCmdIn = uint8_t[win::kSENDCMDINPARAMS_SIZE];

void BuildSendCmdIn(TSendCmdIn& in, uint32_t bufferSize, const TAtaRegisters& r,
                    uint8_t driveNumber) {
  std::memset(in, 0, sizeof in);
  PutU32(in, win::kSENDCMDIN_cBufferSize, bufferSize);
  PutIderegs(in + win::kSENDCMDIN_irDriveRegs, r);
  in[win::kSENDCMDIN_bDriveNumber] = driveNumber;
}

TAtaRegisters SmartRegisters(uint8_t feature, uint8_t driveNumber) {
  return {feature,        1, 1, win::kSMART_CYL_LOW, win::kSMART_CYL_HI, DriveHeadFor(driveNumber),
          win::kATA_SMART};
}

TAtaRegisters IdentifyRegisters(uint8_t driveNumber) {
  return {0, 1, 1, 0, 0, DriveHeadFor(driveNumber), win::kATA_IDENTIFY_DEVICE};
}

bool DataCommand(uint32_t code, THandle handle, uint8_t driveNumber, const TAtaRegisters& r,
                 TAtaBlock& data) {
  TSendCmdIn in;
  BuildSendCmdIn(in, win::kSMART_DATA_SIZE, r, driveNumber);
  std::vector<uint8_t> out(win::kSMART_BLOCK_OUT, 0);
  uint32_t returned = 0;
  if (!GetHost().DeviceIoControl(handle, code, in, win::kSENDCMDIN_SIZE_NO_DATA, out.data(),
                                 win::kSMART_BLOCK_OUT, &returned)) {
    return false;
  }
  // A count beyond the output area cannot be true; copying from it would
  // read outside the reply.
  if (returned < win::kSMART_DATA_SIZE || returned > win::kSMART_BLOCK_OUT) return false;
  std::memcpy(data, out.data() + (returned - win::kSMART_DATA_SIZE), kAtaBlockSize);
  return true;
}

bool IdentifyBySmartRequests(THandle handle, uint8_t driveNumber, TAtaBlock& data) {
  Host& host = GetHost();
  uint8_t version[win::kSMART_GET_VERSION_OUT] = {};
  uint32_t returned = 0;
  if (!host.DeviceIoControl(handle, win::kSMART_GET_VERSION, nullptr, 0, version, sizeof version,
                            &returned)) {
    return false;
  }
  TSendCmdIn in;
  // The drive/head register names the slave, but this route always sends
  // drive number 0 in the request block.
  BuildSendCmdIn(in, win::kSMART_DATA_SIZE, IdentifyRegisters(driveNumber), 0);
  std::vector<uint8_t> out(win::kSENDCMDOUT_DATA_REPLY, 0);
  if (!host.DeviceIoControl(handle, win::kSMART_RCV_DRIVE_DATA, in, win::kSENDCMDINPARAMS_SIZE,
                            out.data(), win::kSENDCMDOUT_DATA_REPLY, &returned)) {
    return false;
  }
  std::memcpy(data, out.data() + win::kSENDCMDOUT_bBuffer, kAtaBlockSize);
  return true;
}

bool IdentifyByMiniport(THandle handle, uint8_t driveNumber, TAtaBlock& data) {
  std::vector<uint8_t> area(win::kMINIPORT_IDENTIFY_SIZE, 0);
  uint8_t* a = area.data();
  PutU32(a, win::kSRB_HeaderLength, win::kSRB_IO_CONTROL_SIZE);
  std::memcpy(a + win::kSRB_Signature, win::kSRB_SIGNATURE_SCSIDISK, 8);
  PutU32(a, win::kSRB_Timeout, win::kMINIPORT_TIMEOUT_SECONDS);
  PutU32(a, win::kSRB_ControlCode, win::kIOCTL_SCSI_MINIPORT_IDENTIFY);
  PutU32(a, win::kSRB_Length, win::kMINIPORT_IDENTIFY_SIZE - win::kSRB_IO_CONTROL_SIZE);
  TSendCmdIn in;
  BuildSendCmdIn(in, win::kSMART_DATA_SIZE, IdentifyRegisters(driveNumber), driveNumber);
  std::memcpy(a + win::kMINIPORT_SENDCMD, in, win::kSENDCMDIN_bDriveNumber + 1);
  uint32_t returned = 0;
  if (!GetHost().DeviceIoControl(handle, win::kIOCTL_SCSI_MINIPORT, a, win::kMINIPORT_IDENTIFY_SIZE,
                                 a, win::kMINIPORT_IDENTIFY_SIZE, &returned)) {
    return false;
  }
  if (returned < win::kMINIPORT_MIN_REPLY) return false;
  std::memcpy(data, a + win::kMINIPORT_DATA, kAtaBlockSize);
  return true;
}

}  // namespace

uint8_t DriveHeadFor(uint8_t driveNumber) {
  return static_cast<uint8_t>(win::kATA_DRIVE_HEAD_BASE | (driveNumber << 4));
}

bool SmartSendCommand(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers) {
  TSendCmdIn in;
  BuildSendCmdIn(in, 0, registers, driveNumber);
  std::vector<uint8_t> out(win::kSMART_SEND_NO_DATA_OUT, 0);
  uint32_t returned = 0;
  return GetHost().DeviceIoControl(handle, win::kSMART_SEND_DRIVE_COMMAND, in,
                                   win::kSENDCMDIN_SIZE_NO_DATA, out.data(),
                                   win::kSMART_SEND_NO_DATA_OUT, &returned);
}

bool SmartReceiveBlock(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers,
                       TAtaBlock& data) {
  return DataCommand(win::kSMART_RCV_DRIVE_DATA, handle, driveNumber, registers, data);
}

bool SmartSendCommandBlock(THandle handle, uint8_t driveNumber, const TAtaRegisters& registers,
                           TAtaBlock& data) {
  return DataCommand(win::kSMART_SEND_DRIVE_COMMAND, handle, driveNumber, registers, data);
}

bool SmartEnableOperations(THandle handle, uint8_t driveNumber) {
  return SmartSendCommand(handle, driveNumber,
                          SmartRegisters(win::kSMART_ENABLE_OPERATIONS, driveNumber));
}

bool SmartDisableOperations(THandle handle, uint8_t driveNumber) {
  return SmartSendCommand(handle, driveNumber,
                          SmartRegisters(win::kSMART_DISABLE_OPERATIONS, driveNumber));
}

bool SmartReadData(THandle handle, uint8_t driveNumber, TAtaBlock& data) {
  if (SmartReceiveBlock(handle, driveNumber, SmartRegisters(win::kSMART_READ_DATA, driveNumber),
                        data)) {
    return true;
  }
  return SmartSendCommandBlock(handle, driveNumber,
                               SmartRegisters(win::kSMART_READ_DATA, driveNumber), data);
}

TSmartReturnStatus SmartReturnStatus(THandle handle, uint8_t driveNumber) {
  TSendCmdIn in;
  BuildSendCmdIn(in, 0, SmartRegisters(win::kSMART_RETURN_STATUS, driveNumber), driveNumber);
  std::vector<uint8_t> out(win::kSMART_SEND_NO_DATA_OUT, 0);
  uint32_t returned = 0;
  if (!GetHost().DeviceIoControl(handle, win::kSMART_SEND_DRIVE_COMMAND, in,
                                 win::kSENDCMDIN_SIZE_NO_DATA, out.data(),
                                 win::kSMART_SEND_NO_DATA_OUT, &returned) ||
      returned < win::kSENDCMDOUT_bBuffer + win::kIDEREGS_bCommandReg + 1 ||
      returned > win::kSMART_SEND_NO_DATA_OUT) {
    return TSmartReturnStatus::NoAnswer;
  }
  const TAtaRegisters r = IderegsAt(out.data() + win::kSENDCMDOUT_bBuffer);
  if (r.CylLow == win::kSMART_CYL_LOW && r.CylHigh == win::kSMART_CYL_HI) {
    return TSmartReturnStatus::Passed;
  }
  if (r.CylLow == win::kSMART_CYL_LOW_EXCEEDED && r.CylHigh == win::kSMART_CYL_HI_EXCEEDED) {
    return TSmartReturnStatus::Failed;
  }
  return TSmartReturnStatus::NoAnswer;
}

uint64_t SmartRawValue(const TSmartEntry& entry) {
  uint64_t raw = 0;
  for (int i = 10; i >= 5; --i) raw = (raw << 8) | entry[i];
  return raw;
}

namespace {

// What ReadSmartPage reads besides the page, each where it is asked for.
struct TSmartExtras {
  TAtaBlock* Thresholds = nullptr;
  bool* ThresholdsRead = nullptr;
  TSmartReturnStatus* Status = nullptr;
  TAtaBlock* SelfTestLog = nullptr;
  bool* SelfTestLogRead = nullptr;
};

bool ReadSmartPages(THandle handle, bool ataBus, uint8_t driveNumber, TAtaBlock& page,
                    const TSmartExtras& x) {
  TAtaBlock* thresholds = x.Thresholds;
  bool* thresholdsRead = x.ThresholdsRead;
  TSmartReturnStatus* status = x.Status;
  const auto readPages = [&] {
    if (!SmartReadData(handle, driveNumber, page)) return false;
    if (thresholds) {
      const TAtaRegisters r = SmartRegisters(win::kSMART_READ_THRESHOLDS, driveNumber);
      *thresholdsRead = SmartReceiveBlock(handle, driveNumber, r, *thresholds) ||
                        SmartSendCommandBlock(handle, driveNumber, r, *thresholds);
    }
    if (status) *status = SmartReturnStatus(handle, driveNumber);
    // Read while SMART is on: a drive with SMART off aborts READ LOG.
    if (x.SelfTestLog && SmartPageOffersSelfTest(page)) {
      *x.SelfTestLogRead = SmartReadLog(handle, driveNumber, 0x06, *x.SelfTestLog);
    }
    return true;
  };
  if (x.SelfTestLogRead) *x.SelfTestLogRead = false;
  if (thresholdsRead) *thresholdsRead = false;
  if (status) *status = TSmartReturnStatus::NoAnswer;
  if (!ataBus) return readPages();
  TAtaBlock identify = {};
  const bool wasEnabled =
      ReadIdentifyData(handle, driveNumber, identify) && (identify[2 * 85] & 1) != 0;
  const bool ok = SmartEnableOperations(handle, driveNumber) && readPages();
  if (!wasEnabled) SmartDisableOperations(handle, driveNumber);
  return ok;
}

}  // namespace

bool ReadSmartPage(THandle handle, bool ataBus, uint8_t driveNumber, TAtaBlock& page) {
  return ReadSmartPages(handle, ataBus, driveNumber, page, {});
}

bool ReadSmartPage(THandle handle, bool ataBus, uint8_t driveNumber, TAtaBlock& page,
                   TAtaBlock& thresholds, bool* thresholdsRead, TSmartReturnStatus* status,
                   TAtaBlock* selfTestLog, bool* selfTestLogRead) {
  return ReadSmartPages(handle, ataBus, driveNumber, page,
                        {&thresholds, thresholdsRead, status, selfTestLog, selfTestLogRead});
}

bool SmartReadLog(THandle handle, uint8_t driveNumber, uint8_t address, TAtaBlock& log) {
  const TAtaRegisters r = {win::kSMART_READ_LOG,
                           1,
                           address,
                           win::kSMART_CYL_LOW,
                           win::kSMART_CYL_HI,
                           DriveHeadFor(driveNumber),
                           win::kATA_SMART};
  return SmartReceiveBlock(handle, driveNumber, r, log) ||
         SmartSendCommandBlock(handle, driveNumber, r, log);
}

bool SmartPageOffersSelfTest(const TAtaBlock& page) { return (page[367] & 0x10) != 0; }

bool ReadIdentifyData(THandle handle, uint8_t driveNumber, TAtaBlock& data) {
  return IdentifyBySmartRequests(handle, driveNumber, data) ||
         IdentifyByMiniport(handle, driveNumber, data);
}

}  // namespace quarnel
