// Identification of an opened drive from the host's geometry, length and
// storage-property answers. No ATA command is sent here.
#pragma once

#include <cstdint>
#include <string>

#include "host/BusType.h"
#include "host/Host.h"

namespace quarnel {

/// What identification finds out about a drive; kept in its device-table entry.
struct TIdentifyDeviceData {
  std::string Model;
  std::string FW;
  std::string SN;
  int64_t LBA = 0;
  int64_t SectorSize = 0;
  TBusType BusType = TBusType::Unknown;
  int64_t MaximumSectorsTransfer = 0;
  bool RemovableMedia = false;
  uint8_t IsIDESlave = 0;
};

/// Fills `record` and returns 0 when the drive is identified; returns -1 and
/// leaves `record` as it was otherwise. *refusal receives the system error of
/// a refused device query (the program cannot go on), 0 in every other case.
int64_t IdentifyDevice(THandle handle, TIdentifyDeviceData& record, uint32_t* refusal);

/// 1 when the drive is the second device on its IDE channel, else 0.
uint8_t IsSlaveDevice(THandle handle);

/// Reads a 40-character serial as 40 hexadecimal digits in ATA word order and
/// returns the 20 characters they stand for; other texts come back unchanged.
std::string RecoverHexSerial(const std::string& serial);

/// The raw bytes of one descriptor text: from `offset` up to and including
/// index `size`, never past the 512-byte area, stopping before a zero byte.
/// A zero offset or one above `size` gives no bytes.
std::string ScanDescriptorText(const uint8_t* area, uint32_t offset, uint32_t size);

/// The serial text from its scanned bytes: the bytes of each pair exchanged,
/// over a 512-byte zero area, trimmed.
std::string SerialFromDescriptorBytes(const std::string& scanned);

}  // namespace quarnel
