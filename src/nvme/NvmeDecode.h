// NVMe Identify Controller, Identify Namespace and SMART / Health Information
// log decoding: pure functions from the little-endian blocks to records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarnel {

inline constexpr size_t kNvmeIdentifySize = 4096;
inline constexpr size_t kNvmeHealthLogSize = 512;
using TNvmeIdentifyBlock = uint8_t[kNvmeIdentifySize];
using TNvmeHealthBlock = uint8_t[kNvmeHealthLogSize];

/// An unsigned 128-bit counter of the health log, kept exact on every target
/// (32-bit builds have no native 128-bit integer).
struct TUInt128 {
  uint64_t Low = 0;
  uint64_t High = 0;
  bool operator==(const TUInt128&) const = default;
};

/// Plain decimal of a 128-bit value.
std::string DecText128(const TUInt128& value);
/// Decimal with "," between groups of three digits, when longer than four.
std::string GroupedText128(const TUInt128& value);
/// Divides `value` in place by a non-zero `divisor`; returns the remainder.
uint32_t DivMod128(TUInt128& value, uint32_t divisor);
/// The full product of a 64-bit and a 32-bit value.
TUInt128 Mul64x32(uint64_t a, uint32_t b);

/// Identify Controller (CNS 01h), the fields the reports use.
struct TNvmeController {
  uint16_t PciVendorId = 0;        // VID, bytes 0-1
  std::string Serial;              // SN, 4-23, trimmed
  std::string Model;               // MN, 24-63, trimmed
  std::string Firmware;            // FR, 64-71, trimmed
  uint32_t Version = 0;            // VER, 80-83: major 31:16, minor 15:8, tertiary 7:0
  uint16_t AdminCommands = 0;      // OACS, 256-257
  uint8_t FirmwareUpdates = 0;     // FRMW, 260
  uint32_t SanitizeCaps = 0;       // SANICAP, 328-331
  uint32_t NamespaceCount = 0;     // NN, 516-519
  uint8_t FormatAttributes = 0;    // FNA, 524
  uint8_t VolatileWriteCache = 0;  // VWC, 525
  TUInt128 TotalCapacity;          // TNVMCAP, 280-295, bytes

  bool FormatNvm() const { return (AdminCommands & 0x02) != 0; }
  bool SelfTest() const { return (AdminCommands & 0x10) != 0; }
  bool WriteCachePresent() const { return (VolatileWriteCache & 0x01) != 0; }
  bool FormatAppliesToAll() const { return (FormatAttributes & 0x01) != 0; }
  bool FormatEraseAppliesToAll() const { return (FormatAttributes & 0x02) != 0; }
  bool FormatCryptoErase() const { return (FormatAttributes & 0x04) != 0; }
  bool CryptoErase() const { return (SanitizeCaps & 0x1) != 0; }
  bool BlockErase() const { return (SanitizeCaps & 0x2) != 0; }
  bool Overwrite() const { return (SanitizeCaps & 0x4) != 0; }
  int FirmwareSlots() const { return (FirmwareUpdates >> 1) & 0x7; }
  bool FirstSlotReadOnly() const { return (FirmwareUpdates & 0x01) != 0; }
};

/// Identify Namespace (CNS 00h): size and the LBA format in use.
struct TNvmeNamespace {
  uint64_t SizeBlocks = 0;         // NSZE, bytes 0-7
  uint64_t CapacityBlocks = 0;     // NCAP, 8-15
  uint8_t FormatIndex = 0;         // FLBAS bits 3:0 and 6:5
  uint32_t BlockSize = 0;          // 2^LBADS of that format; 0 when it is not given
  uint16_t MetadataSize = 0;       // MS of that format
  uint8_t FormattedLbaSize = 0;    // FLBAS, byte 26: the format and where metadata goes
  uint8_t ProtectionSettings = 0;  // DPS, byte 29: protection type 2:0, its place 3
  uint8_t DeallocateFeatures = 0;  // DLFEAT, byte 33: what a deallocated block reads as (2:0)
  std::string Nguid;               // NGUID, bytes 104-119, lower-case hex; "" when all zero
  std::string Eui64;               // EUI64, bytes 120-127, lower-case hex; "" when all zero
};

/// SMART / Health Information log (log page 02h).
struct TNvmeHealth {
  uint8_t CriticalWarning = 0;         // byte 0
  uint16_t Temperature = 0;            // 1-2, kelvin; 0: not reported
  uint8_t AvailableSpare = 0;          // 3, percent
  uint8_t SpareThreshold = 0;          // 4, percent
  uint8_t PercentageUsed = 0;          // 5, percent (may pass 100)
  TUInt128 DataUnitsRead;              // 32-47, units of 512,000 bytes
  TUInt128 DataUnitsWritten;           // 48-63
  TUInt128 HostReadCommands;           // 64-79
  TUInt128 HostWriteCommands;          // 80-95
  TUInt128 ControllerBusyTime;         // 96-111, minutes
  TUInt128 PowerCycles;                // 112-127
  TUInt128 PowerOnHours;               // 128-143
  TUInt128 UnsafeShutdowns;            // 144-159
  TUInt128 MediaErrors;                // 160-175
  TUInt128 ErrorLogEntries;            // 176-191
  uint32_t WarningTempMinutes = 0;     // 192-195
  uint32_t CriticalTempMinutes = 0;    // 196-199
  uint16_t SensorTemperature[8] = {};  // 200-215, kelvin; 0: sensor absent
};

TNvmeController DecodeNvmeController(const TNvmeIdentifyBlock& block);
TNvmeNamespace DecodeNvmeNamespace(const TNvmeIdentifyBlock& block);
TNvmeHealth DecodeNvmeHealth(const TNvmeHealthBlock& block);

/// "1.4", "1.2.1", or "" for a controller that reports no version (NVMe 1.0).
std::string NvmeVersionText(uint32_t version);

}  // namespace quarnel
