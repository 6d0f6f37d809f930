#include "ata/AtaPassThrough.h"

#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

bool TAtaPassThroughReply::Failed() const {
  return (Registers.Current.Command & (kAtaStatusErr | kAtaStatusDf)) != 0;
}

std::vector<uint8_t> BuildAtaPassThrough(const TAtaTaskFile& command, uint32_t dataIn) {
  std::vector<uint8_t> buffer(win::kATA_PASS_THROUGH_EX_SIZE + dataIn, 0);
  uint8_t* b = buffer.data();
  uint16_t flags = win::kATA_FLAGS_DRDY_REQUIRED;
  if (dataIn > 0) flags |= win::kATA_FLAGS_DATA_IN;
  if (command.Ext) flags |= win::kATA_FLAGS_48BIT_COMMAND;
  PutU16(b, win::kATA_PT_Length, static_cast<uint16_t>(win::kATA_PASS_THROUGH_EX_SIZE));
  PutU16(b, win::kATA_PT_AtaFlags, flags);
  PutU32(b, win::kATA_PT_DataTransferLength, dataIn);
  PutU32(b, win::kATA_PT_TimeOutValue, kAtaPassThroughTimeoutSeconds);
  // The data follows the header in the same buffer; a ULONG_PTR, written as
  // wide as the program's pointers.
  const uint64_t offset = dataIn > 0 ? win::kATA_PASS_THROUGH_EX_SIZE : 0;
  for (uint32_t i = 0; i < sizeof(void*); ++i) {
    b[win::kATA_PT_DataBufferOffset + i] = static_cast<uint8_t>(offset >> (8 * i));
  }
  if (command.Ext) PutIderegs(b + win::kATA_PT_PreviousTaskFile, command.Previous);
  PutIderegs(b + win::kATA_PT_CurrentTaskFile, command.Current);
  return buffer;
}

bool AtaPassThrough(THandle handle, const TAtaTaskFile& command, uint32_t dataIn,
                    TAtaPassThroughReply* reply) {
  std::vector<uint8_t> buffer = BuildAtaPassThrough(command, dataIn);
  const uint32_t size = static_cast<uint32_t>(buffer.size());
  uint32_t returned = 0;
  if (!GetHost().DeviceIoControl(handle, win::kIOCTL_ATA_PASS_THROUGH, buffer.data(), size,
                                 buffer.data(), size, &returned)) {
    return false;
  }
  // Without the whole header the registers are not known; without the data
  // a data command told nothing.
  if (returned < win::kATA_PASS_THROUGH_EX_SIZE || returned > size ||
      (dataIn > 0 && GetU32(buffer.data(), win::kATA_PT_DataTransferLength) < dataIn)) {
    return false;
  }
  const uint8_t* b = buffer.data();
  reply->Registers.Ext = command.Ext;
  reply->Registers.Current = IderegsAt(b + win::kATA_PT_CurrentTaskFile);
  reply->Registers.Previous =
      command.Ext ? IderegsAt(b + win::kATA_PT_PreviousTaskFile) : TAtaRegisters{};
  reply->Data.assign(b + win::kATA_PASS_THROUGH_EX_SIZE, b + size);
  return true;
}

}  // namespace quarnel
