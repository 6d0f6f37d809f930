#include "nvme/NvmeDecode.h"

#include <algorithm>

#include "base/Text.h"

namespace quarnel {

namespace {

uint16_t U16(const uint8_t* p, size_t off) {
  return static_cast<uint16_t>(p[off] | (p[off + 1] << 8));
}

uint32_t U32(const uint8_t* p, size_t off) {
  return static_cast<uint32_t>(U16(p, off)) | (static_cast<uint32_t>(U16(p, off + 2)) << 16);
}

uint64_t U64(const uint8_t* p, size_t off) {
  return static_cast<uint64_t>(U32(p, off)) | (static_cast<uint64_t>(U32(p, off + 4)) << 32);
}

TUInt128 U128(const uint8_t* p, size_t off) { return {U64(p, off), U64(p, off + 8)}; }

// ASCII fields are space-padded; a controller may also pad with zeros.
std::string AsciiField(const uint8_t* p, size_t off, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(p + off), size);
  const size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return UnambiguousText(Trim(Latin1ToUtf8(bytes)));
}

// A namespace identifier in byte order, as the standard writes it; all
// zeros means the namespace has none.
std::string HexIdentifier(const uint8_t* p, size_t off, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  bool any = false;
  for (size_t i = 0; i < size; ++i) {
    any = any || p[off + i] != 0;
    text += digits[p[off + i] >> 4];
    text += digits[p[off + i] & 0xF];
  }
  return any ? text : std::string();
}

std::string Grouped(const std::string& digits) {
  if (digits.size() <= 4) return digits;
  std::string result;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) result += ',';
    result += digits[i];
  }
  return result;
}

}  // namespace

TUInt128 Mul64x32(uint64_t a, uint32_t b) {
  const uint64_t low = (a & 0xFFFFFFFFu) * b;
  const uint64_t high = (a >> 32) * b;
  TUInt128 r;
  r.Low = low + (high << 32);
  r.High = (high >> 32) + (r.Low < low ? 1 : 0);
  return r;
}

uint32_t DivMod128(TUInt128& value, uint32_t divisor) {
  // Long division over 32-bit limbs, most significant first: the running
  // remainder stays below the divisor, so remainder << 32 fits 64 bits.
  uint32_t limbs[4] = {static_cast<uint32_t>(value.High >> 32), static_cast<uint32_t>(value.High),
                       static_cast<uint32_t>(value.Low >> 32), static_cast<uint32_t>(value.Low)};
  uint64_t remainder = 0;
  for (uint32_t& limb : limbs) {
    const uint64_t current = (remainder << 32) | limb;
    limb = static_cast<uint32_t>(current / divisor);
    remainder = current % divisor;
  }
  value.High = (static_cast<uint64_t>(limbs[0]) << 32) | limbs[1];
  value.Low = (static_cast<uint64_t>(limbs[2]) << 32) | limbs[3];
  return static_cast<uint32_t>(remainder);
}

std::string DecText128(const TUInt128& value) {
  if (value.High == 0) return DecTextU(value.Low);
  TUInt128 rest = value;
  std::string digits;
  while (rest.High != 0 || rest.Low != 0) {
    std::string chunk = DecTextU(DivMod128(rest, 1000000000u));
    if (rest.High != 0 || rest.Low != 0) chunk.insert(0, 9 - chunk.size(), '0');
    digits.insert(0, chunk);
  }
  return digits;
}

std::string GroupedText128(const TUInt128& value) { return Grouped(DecText128(value)); }

TNvmeController DecodeNvmeController(const TNvmeIdentifyBlock& b) {
  TNvmeController c;
  c.PciVendorId = U16(b, 0);
  c.Serial = AsciiField(b, 4, 20);
  c.Model = AsciiField(b, 24, 40);
  c.Firmware = AsciiField(b, 64, 8);
  c.Version = U32(b, 80);
  c.AdminCommands = U16(b, 256);
  c.FirmwareUpdates = b[260];
  c.TotalCapacity = U128(b, 280);
  c.SanitizeCaps = U32(b, 328);
  c.NamespaceCount = U32(b, 516);
  c.VolatileWriteCache = b[525];
  c.FormatAttributes = b[524];
  return c;
}

TNvmeNamespace DecodeNvmeNamespace(const TNvmeIdentifyBlock& b) {
  TNvmeNamespace n;
  n.SizeBlocks = U64(b, 0);
  n.CapacityBlocks = U64(b, 8);
  const uint8_t formats = b[25];  // NLBAF, zero-based
  const uint8_t flbas = b[26];
  // Bits 6:5 extend the index past 16 formats (NVMe 2.0).
  n.FormatIndex = static_cast<uint8_t>((flbas & 0x0F) | ((flbas & 0x60) >> 1));
  n.FormattedLbaSize = flbas;
  n.ProtectionSettings = b[29];
  n.DeallocateFeatures = b[33];
  n.Nguid = HexIdentifier(b, 104, 16);
  n.Eui64 = HexIdentifier(b, 120, 8);
  if (n.FormatIndex <= formats && n.FormatIndex < 64) {
    const uint32_t format = U32(b, 128 + 4 * static_cast<size_t>(n.FormatIndex));
    const uint32_t lbads = (format >> 16) & 0xFF;
    n.MetadataSize = static_cast<uint16_t>(format & 0xFFFF);
    // Below 9 is invalid per the standard; past 31 does not fit a block size.
    if (lbads >= 9 && lbads < 32) n.BlockSize = 1u << lbads;
  }
  return n;
}

TNvmeHealth DecodeNvmeHealth(const TNvmeHealthBlock& b) {
  TNvmeHealth h;
  h.CriticalWarning = b[0];
  h.Temperature = U16(b, 1);
  h.AvailableSpare = b[3];
  h.SpareThreshold = b[4];
  h.PercentageUsed = b[5];
  TUInt128* counters[] = {&h.DataUnitsRead,     &h.DataUnitsWritten,   &h.HostReadCommands,
                          &h.HostWriteCommands, &h.ControllerBusyTime, &h.PowerCycles,
                          &h.PowerOnHours,      &h.UnsafeShutdowns,    &h.MediaErrors,
                          &h.ErrorLogEntries};
  for (size_t i = 0; i < std::size(counters); ++i) *counters[i] = U128(b, 32 + 16 * i);
  h.WarningTempMinutes = U32(b, 192);
  h.CriticalTempMinutes = U32(b, 196);
  for (size_t i = 0; i < 8; ++i) h.SensorTemperature[i] = U16(b, 200 + 2 * i);
  return h;
}

std::string NvmeVersionText(uint32_t version) {
  if (version == 0) return "";
  std::string text = DecTextU(version >> 16) + "." + DecTextU((version >> 8) & 0xFF);
  if ((version & 0xFF) != 0) text += "." + DecTextU(version & 0xFF);
  return text;
}

}  // namespace quarnel
