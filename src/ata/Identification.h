// Identification of an opened drive from the host's geometry, length and
// storage-property answers. No ATA command is sent here.
#pragma once

#include <cstdint>
#include <string>

#include "devices/DeviceTable.h"
#include "host/Host.h"

namespace quarnel {

/// Fills `record` and returns 0 when the drive is identified; returns -1 and
/// leaves `record` as it was otherwise. A refused device query shows the
/// error message and asks for the end of the program.
int64_t IdentifyDevice(THandle handle, TIdentifyDeviceData& record);

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
