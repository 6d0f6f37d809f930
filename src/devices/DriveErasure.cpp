#include "devices/DriveErasure.h"

#include <cstring>

#include "ata/AtaCommands.h"
#include "ata/AtaSanitize.h"
#include "nvme/NvmeCommands.h"
#include "nvme/NvmeErase.h"

namespace quarnel {

namespace {

void ReadNvmeCaps(THandle handle, TFirmwareCaps& caps) {
  TNvmeIdentifyBlock block = {};
  if (!NvmeIdentifyController(handle, block)) return;
  const TNvmeController c = DecodeNvmeController(block);
  caps.Known = true;
  caps.FormatAllNamespaces = c.FormatAppliesToAll();
  caps.FormatEraseAllNamespaces = c.FormatEraseAppliesToAll();
  if (c.BlockErase()) caps.Offered.push_back(TFirmwareMethod::Block);
  if (c.CryptoErase()) caps.Offered.push_back(TFirmwareMethod::Crypto);
  // A format needs the namespace's own format to keep it.
  TNvmeIdentifyBlock nsBlock = {};
  const bool ns = NvmeIdentifyNamespace(handle, nsBlock);
  if (ns) {
    const TNvmeNamespace n = DecodeNvmeNamespace(nsBlock);
    caps.Dlfeat = n.DeallocateFeatures & 0x7;
    caps.Flbas = n.FormattedLbaSize;
    caps.Dps = n.ProtectionSettings;
  }
  if (c.FormatNvm() && ns) {
    caps.Offered.push_back(TFirmwareMethod::FormatUser);
    if (c.FormatCryptoErase()) caps.Offered.push_back(TFirmwareMethod::FormatCrypto);
  }
  if (c.Overwrite()) caps.Offered.push_back(TFirmwareMethod::Overwrite);
}

void ReadAtaCaps(THandle handle, const TIdentifyDeviceData& id, TFirmwareCaps& caps) {
  TAtaBlock block = {};
  if (!ReadIdentifyData(handle, id.IsIDESlave, block)) return;
  uint8_t copy[512];
  std::memcpy(copy, block, sizeof copy);
  const TAtaEraseFeatures f = DecodeAtaEraseFeatures(copy);
  caps.Known = true;
  caps.Ata = true;
  caps.DriveNumber = id.IsIDESlave;
  caps.SecuritySupported = f.SecuritySupported;
  caps.SecurityEnabled = f.SecurityEnabled;
  caps.SecurityLocked = f.SecurityLocked;
  caps.SecurityFrozen = f.SecurityFrozen;
  if (!f.Sanitize) return;
  if (f.BlockErase) caps.Offered.push_back(TFirmwareMethod::Block);
  if (f.CryptoScramble) caps.Offered.push_back(TFirmwareMethod::Crypto);
  if (f.Overwrite) caps.Offered.push_back(TFirmwareMethod::Overwrite);
  TAtaTaskFile r;
  if (AtaSendSanitize(handle, AtaSanitizeCommand(TAtaSanitize::Status, id.IsIDESlave), 30, &r)) {
    const TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
    caps.SanitizeFrozen = s.Frozen || (s.Aborted && s.Reason == 3);
  }
}

}  // namespace

const char* FirmwareMethodName(TFirmwareMethod m) {
  switch (m) {
    case TFirmwareMethod::Block:
      return "block";
    case TFirmwareMethod::Crypto:
      return "crypto";
    case TFirmwareMethod::FormatUser:
      return "format-user";
    case TFirmwareMethod::FormatCrypto:
      return "format-crypto";
    case TFirmwareMethod::Overwrite:
      return "overwrite";
  }
  return "";
}

std::optional<TFirmwareMethod> FirmwareMethodFromName(const std::string& name) {
  for (TFirmwareMethod m : kFirmwareMethods) {
    if (name == FirmwareMethodName(m)) return m;
  }
  return std::nullopt;
}

std::string FirmwareMethodText(TFirmwareMethod m) {
  switch (m) {
    case TFirmwareMethod::Block:
      return "块擦除 (block)";
    case TFirmwareMethod::Crypto:
      return "加密擦除 (crypto)";
    case TFirmwareMethod::FormatUser:
      return "格式化并擦除用户数据 (format-user)";
    case TFirmwareMethod::FormatCrypto:
      return "格式化并加密擦除 (format-crypto)";
    case TFirmwareMethod::Overwrite:
      return "驱动器覆写 (overwrite)";
  }
  return "";
}

TFirmwareCommand FirmwareCommandFor(TFirmwareMethod m, bool nvme) {
  if (!nvme) return TFirmwareCommand::AtaSanitize;
  return m == TFirmwareMethod::FormatUser || m == TFirmwareMethod::FormatCrypto
             ? TFirmwareCommand::NvmeFormat
             : TFirmwareCommand::NvmeSanitize;
}

const char* FirmwareCommandName(TFirmwareCommand command) {
  switch (command) {
    case TFirmwareCommand::AtaSanitize:
      return "ata-sanitize";
    case TFirmwareCommand::NvmeFormat:
      return "nvme-format";
    case TFirmwareCommand::NvmeSanitize:
      return "nvme-sanitize";
  }
  return "";
}

bool TFirmwareCaps::Offers(TFirmwareMethod m) const {
  for (TFirmwareMethod o : Offered) {
    if (o == m) return true;
  }
  return false;
}

bool TFirmwareCaps::CoversAllNamespaces(TFirmwareMethod m) const {
  if (!Nvme) return false;
  // A sanitize always acts on the whole controller's storage.
  if (m == TFirmwareMethod::Block || m == TFirmwareMethod::Crypto ||
      m == TFirmwareMethod::Overwrite) {
    return true;
  }
  // A format's secure erase reaches every namespace where FNA bit 1 says so,
  // even when the format itself is sent to one.
  return FormatAllNamespaces || FormatEraseAllNamespaces;
}

TFirmwareCaps ReadFirmwareCaps(THandle handle, const TIdentifyDeviceData& id) {
  TFirmwareCaps caps;
  if (id.BusType == TBusType::Nvme) {
    caps.Nvme = true;
    ReadNvmeCaps(handle, caps);
  } else {
    ReadAtaCaps(handle, id, caps);
  }
  return caps;
}

TErasedPattern ExpectedAfter(const TFirmwareCaps& caps, TFirmwareMethod m) {
  // A crypto erase leaves whatever the old data decrypts to with a new key.
  if (m == TFirmwareMethod::Crypto || m == TFirmwareMethod::FormatCrypto) {
    return TErasedPattern::Unspecified;
  }
  if (caps.Nvme) {
    // The NVMe commands deallocate what they erased: it reads as DLFEAT says.
    if (caps.Dlfeat == 1) return TErasedPattern::Zeros;
    if (caps.Dlfeat == 2) return TErasedPattern::Ones;
    return TErasedPattern::Unspecified;
  }
  // ATA: OVERWRITE writes the pattern given (zeros); BLOCK ERASE leaves a
  // vendor-specific value.
  return m == TFirmwareMethod::Overwrite ? TErasedPattern::Zeros : TErasedPattern::Unspecified;
}

std::string OfferedNames(const TFirmwareCaps& caps) {
  std::string names;
  for (TFirmwareMethod m : caps.Offered) {
    if (!names.empty()) names += ", ";
    names += FirmwareMethodName(m);
  }
  return names;
}

}  // namespace quarnel
