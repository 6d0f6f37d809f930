#include "host/AtaRequests.h"

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {
constexpr uint32_t kHeader = win::kATA_PASS_THROUGH_EX_SIZE;
constexpr uint32_t kBlock = 512;

uint8_t Byte(uint64_t value, int index) { return static_cast<uint8_t>(value >> (8 * index)); }
}  // namespace

uint16_t TAtaTaskFile::Features16() const {
  return static_cast<uint16_t>(Current.Features | (Previous.Features << 8));
}

uint16_t TAtaTaskFile::Count16() const {
  return static_cast<uint16_t>(Current.SectorCount | (Previous.SectorCount << 8));
}

uint64_t TAtaTaskFile::Lba48() const {
  return uint64_t{Current.SectorNumber} | (uint64_t{Current.CylLow} << 8) |
         (uint64_t{Current.CylHigh} << 16) | (uint64_t{Previous.SectorNumber} << 24) |
         (uint64_t{Previous.CylLow} << 32) | (uint64_t{Previous.CylHigh} << 40);
}

void TAtaTaskFile::SetFeatures16(uint16_t value) {
  Current.Features = Byte(value, 0);
  Previous.Features = Byte(value, 1);
}

void TAtaTaskFile::SetCount16(uint16_t value) {
  Current.SectorCount = Byte(value, 0);
  Previous.SectorCount = Byte(value, 1);
}

void TAtaTaskFile::SetLba48(uint64_t value) {
  Current.SectorNumber = Byte(value, 0);
  Current.CylLow = Byte(value, 1);
  Current.CylHigh = Byte(value, 2);
  Previous.SectorNumber = Byte(value, 3);
  Previous.CylLow = Byte(value, 4);
  Previous.CylHigh = Byte(value, 5);
}

void PutIderegs(uint8_t* at, const TAtaRegisters& r) {
  at[win::kIDEREGS_bFeaturesReg] = r.Features;
  at[win::kIDEREGS_bSectorCountReg] = r.SectorCount;
  at[win::kIDEREGS_bSectorNumberReg] = r.SectorNumber;
  at[win::kIDEREGS_bCylLowReg] = r.CylLow;
  at[win::kIDEREGS_bCylHighReg] = r.CylHigh;
  at[win::kIDEREGS_bDriveHeadReg] = r.DriveHead;
  at[win::kIDEREGS_bCommandReg] = r.Command;
}

TAtaRegisters IderegsAt(const uint8_t* at) {
  return {at[win::kIDEREGS_bFeaturesReg],     at[win::kIDEREGS_bSectorCountReg],
          at[win::kIDEREGS_bSectorNumberReg], at[win::kIDEREGS_bCylLowReg],
          at[win::kIDEREGS_bCylHighReg],      at[win::kIDEREGS_bDriveHeadReg],
          at[win::kIDEREGS_bCommandReg]};
}

std::vector<uint8_t> BuildAtaPassThrough(const TAtaTaskFile& command, uint32_t dataIn,
                                         uint32_t timeoutSeconds) {
  std::vector<uint8_t> buffer(kHeader + dataIn, 0);
  uint8_t* b = buffer.data();
  uint16_t flags = win::kATA_FLAGS_DRDY_REQUIRED;
  if (dataIn > 0) flags |= win::kATA_FLAGS_DATA_IN;
  if (command.Ext) flags |= win::kATA_FLAGS_48BIT_COMMAND;
  PutU16(b, win::kATA_PT_Length, static_cast<uint16_t>(kHeader));
  PutU16(b, win::kATA_PT_AtaFlags, flags);
  PutU32(b, win::kATA_PT_DataTransferLength, dataIn);
  PutU32(b, win::kATA_PT_TimeOutValue, timeoutSeconds);
  // The data follows the header in the same buffer; a ULONG_PTR, written as
  // wide as the program's pointers.
  const uint64_t offset = dataIn > 0 ? kHeader : 0;
  for (uint32_t i = 0; i < sizeof(void*); ++i)
    b[win::kATA_PT_DataBufferOffset + i] = Byte(offset, i);
  PutTaskFile(b, command);
  return buffer;
}

uint32_t ReadAtaPassThrough(const uint8_t* in, uint32_t inSize, TAtaPassThroughRequest* request) {
  if (in == nullptr || inSize < kHeader || GetU16(in, win::kATA_PT_Length) != kHeader) {
    return win::kERROR_INVALID_PARAMETER;
  }
  TAtaPassThroughRequest r;
  r.Flags = GetU16(in, win::kATA_PT_AtaFlags);
  r.DataIn = (r.Flags & win::kATA_FLAGS_DATA_IN) != 0;
  r.DataLength = GetU32(in, win::kATA_PT_DataTransferLength);
  for (uint32_t i = 0; i < sizeof(void*); ++i) {
    r.DataOffset |= uint64_t{in[win::kATA_PT_DataBufferOffset + i]} << (8 * i);
  }
  r.TimeoutSeconds = GetU32(in, win::kATA_PT_TimeOutValue);
  r.TaskFile = TaskFileAt(in, (r.Flags & win::kATA_FLAGS_48BIT_COMMAND) != 0);
  *request = r;
  return win::kERROR_SUCCESS;
}

uint32_t CheckAtaReplyRoom(const TAtaPassThroughRequest& r, uint32_t outSize) {
  if (r.DataIn) {
    if (r.DataLength != kBlock || r.DataOffset < kHeader) return win::kERROR_INVALID_PARAMETER;
    if (r.DataOffset + kBlock > outSize) return win::kERROR_INSUFFICIENT_BUFFER;
  } else if (outSize < kHeader) {
    return win::kERROR_INSUFFICIENT_BUFFER;
  }
  return win::kERROR_SUCCESS;
}

void PutTaskFile(uint8_t* reply, const TAtaTaskFile& registers) {
  if (registers.Ext) PutIderegs(reply + win::kATA_PT_PreviousTaskFile, registers.Previous);
  PutIderegs(reply + win::kATA_PT_CurrentTaskFile, registers.Current);
}

TAtaTaskFile TaskFileAt(const uint8_t* reply, bool ext) {
  TAtaTaskFile t;
  t.Ext = ext;
  t.Current = IderegsAt(reply + win::kATA_PT_CurrentTaskFile);
  if (ext) t.Previous = IderegsAt(reply + win::kATA_PT_PreviousTaskFile);
  return t;
}

bool IsSanitizeRequest(const uint8_t* in, uint32_t inSize) {
  return in && inSize >= kHeader &&
         in[win::kATA_PT_CurrentTaskFile + win::kIDEREGS_bCommandReg] == kAtaSanitizeDevice;
}

bool IsAtaQueryCommand(const TAtaTaskFile& t, bool dataIn) {
  switch (t.Current.Command) {
    case win::kATA_IDENTIFY_DEVICE:
      return dataIn && !t.Ext;
    case kAtaGetNativeMaxExt:  // feature 0000h only: 01h/02h set and freeze
      return !dataIn && t.Ext && t.Features16() == 0;
    case kAtaReadNativeMaxExt:
      return !dataIn && t.Ext;
    case kAtaReadNativeMax:
      return !dataIn && !t.Ext;
    case kAtaDeviceConfiguration:  // C0h, C1h, C3h change the drive
      return dataIn && !t.Ext && t.Current.Features == kAtaDcoIdentifyFeature;
    default:
      return false;
  }
}

bool IsAtaEraseCommand(const TAtaTaskFile& t) {
  const uint16_t f = t.Features16();
  return t.Ext && t.Current.Command == kAtaSanitizeDevice &&
         (f == 0x0000 || f == 0x0011 || f == 0x0012 || f == 0x0014);
}

uint32_t ParseAtaQueryRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                              TAtaPassThroughRequest* request) {
  TAtaPassThroughRequest r;
  if (const uint32_t refused = ReadAtaPassThrough(in, inSize, &r)) return refused;
  if ((r.Flags & (win::kATA_FLAGS_DATA_OUT | win::kATA_FLAGS_USE_DMA)) != 0 ||
      !IsAtaQueryCommand(r.TaskFile, r.DataIn)) {
    return win::kERROR_INVALID_FUNCTION;
  }
  if (const uint32_t refused = CheckAtaReplyRoom(r, outSize)) return refused;
  *request = r;
  return win::kERROR_SUCCESS;
}

uint32_t ParseAtaEraseRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                              TAtaPassThroughRequest* request) {
  TAtaPassThroughRequest r;
  if (const uint32_t refused = ReadAtaPassThrough(in, inSize, &r)) return refused;
  if (!r.TaskFile.Ext || (r.Flags & (win::kATA_FLAGS_DATA_IN | win::kATA_FLAGS_DATA_OUT)) != 0 ||
      r.DataLength != 0) {
    return win::kERROR_NOT_SUPPORTED;  // data transfers are not carried here
  }
  if (outSize < kHeader) return win::kERROR_INSUFFICIENT_BUFFER;
  *request = r;
  return win::kERROR_SUCCESS;
}

uint32_t AtaPassThroughRefusal(const uint8_t* in, uint32_t inSize, uint32_t outSize) {
  TAtaPassThroughRequest r;
  if (!IsSanitizeRequest(in, inSize)) return ParseAtaQueryRequest(in, inSize, outSize, &r);
  if (const uint32_t refused = ParseAtaEraseRequest(in, inSize, outSize, &r)) return refused;
  return IsAtaEraseCommand(r.TaskFile) ? win::kERROR_SUCCESS : win::kERROR_INVALID_FUNCTION;
}

}  // namespace quarnel
