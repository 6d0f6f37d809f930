// What a drive offers for its own erase, read from data it already gave
// (NVMe Identify Controller and Namespace; ATA IDENTIFY DEVICE) and, on ATA,
// SANITIZE STATUS EXT for the frozen state. Nothing here changes the drive.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/DeviceTable.h"
#include "host/Host.h"

namespace quarnel {

enum class TFirmwareMethod { Block, Crypto, FormatUser, FormatCrypto, Overwrite };

/// Every method, in the order a run without a chosen one takes them: a block
/// erase reaches every cell and can be checked by reading; a crypto erase
/// cannot be checked that way; an overwrite by the drive takes hours.
inline constexpr TFirmwareMethod kFirmwareMethods[] = {
    TFirmwareMethod::Block, TFirmwareMethod::Crypto, TFirmwareMethod::FormatUser,
    TFirmwareMethod::FormatCrypto, TFirmwareMethod::Overwrite};

/// "block", "crypto", "format-user", "format-crypto", "overwrite".
const char* FirmwareMethodName(TFirmwareMethod method);
std::optional<TFirmwareMethod> FirmwareMethodFromName(const std::string& name);
/// The method as the interface names it.
std::string FirmwareMethodText(TFirmwareMethod method);
/// The command that carries a method on a drive of that kind.
enum class TFirmwareCommand { AtaSanitize, NvmeFormat, NvmeSanitize };
TFirmwareCommand FirmwareCommandFor(TFirmwareMethod method, bool nvme);
/// "ata-sanitize", "nvme-format", "nvme-sanitize": the log's and the record's.
const char* FirmwareCommandName(TFirmwareCommand command);

/// What the sectors read as after a drive's own erase.
enum class TErasedPattern { Zeros, Ones, Unspecified };

struct TFirmwareCaps {
  bool Nvme = false;
  bool Ata = false;
  bool Known = false;                     // the drive's data could be read
  std::vector<TFirmwareMethod> Offered;   // in the order of kFirmwareMethods
  bool FormatAllNamespaces = false;       // FNA bit 0: a format covers every namespace
  bool FormatEraseAllNamespaces = false;  // FNA bit 1: a format's erase covers every namespace
  bool SanitizeFrozen = false;            // ATA: SANITIZE STATUS EXT says frozen
  uint8_t Dlfeat = 0;                     // NVMe DLFEAT 2:0
  uint8_t Flbas = 0, Dps = 0;             // NVMe: the namespace's format, kept by a format
  uint8_t DriveNumber = 0;                // ATA: master 0, slave 1
  bool SecuritySupported = false, SecurityEnabled = false, SecurityLocked = false,
       SecurityFrozen = false;  // ATA word 128, for the report
  bool Offers(TFirmwareMethod method) const;
  /// True when the method's command reaches every namespace of the controller.
  bool CoversAllNamespaces(TFirmwareMethod method) const;
};

/// Reads what the drive behind `handle` offers.
TFirmwareCaps ReadFirmwareCaps(THandle handle, const TIdentifyDeviceData& id);

/// "zeros", "ones" or "unspecified": what the sampled sectors must read as
/// after the method, as the drive states it.
TErasedPattern ExpectedAfter(const TFirmwareCaps& caps, TFirmwareMethod method);

/// "block, crypto": the names of the offered methods.
std::string OfferedNames(const TFirmwareCaps& caps);

}  // namespace quarnel
