#include "ata/AtaPassThrough.h"

#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

bool TAtaPassThroughReply::Failed() const {
  return (Registers.Current.Command & (kAtaStatusErr | kAtaStatusDf)) != 0;
}

bool AtaPassThrough(THandle handle, const TAtaTaskFile& command, uint32_t dataIn,
                    TAtaPassThroughReply* reply, uint32_t timeoutSeconds) {
  std::vector<uint8_t> buffer = BuildAtaPassThrough(command, dataIn, timeoutSeconds);
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
  reply->Registers = TaskFileAt(b, command.Ext);
  reply->Data.assign(b + win::kATA_PASS_THROUGH_EX_SIZE, b + size);
  return true;
}

}  // namespace quarnel
