#include "nvme/NvmeErase.h"

#include <cstdio>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr size_t kSqeNsid = 4, kSqeCdw10 = 40, kSqeCdw11 = 44;
constexpr uint32_t kSanitizeAuse = 1u << 3;
constexpr uint32_t kSanitizeOverwrite = 3;

}  // namespace

TNvmeCommand NvmeFormatCommand(uint32_t nsid, const TNvmeNamespace& ns, uint8_t ses) {
  TNvmeCommand c{};
  c[0] = kNvmeAdminFormatNvm;
  PutU32(c.data(), kSqeNsid, nsid);
  const uint32_t flbas = ns.FormattedLbaSize, dps = ns.ProtectionSettings;
  // CDW10: LBAF 3:0, MSET 4, PI 7:5, PIL 8, SES 11:9, LBAF's upper bits 13:12.
  // FLBAS keeps the index in 3:0 and 6:5 and the metadata place in bit 4.
  const uint32_t cdw10 = (flbas & 0x0F) | (((flbas >> 4) & 1) << 4) | ((dps & 0x7) << 5) |
                         (((dps >> 3) & 1) << 8) | ((uint32_t{ses} & 0x7) << 9) |
                         (((flbas >> 5) & 0x3) << 12);
  PutU32(c.data(), kSqeCdw10, cdw10);
  return c;
}

TNvmeCommand NvmeSanitizeCommand(uint8_t sanact) {
  TNvmeCommand c{};
  c[0] = kNvmeAdminSanitize;
  // CDW10: SANACT 2:0, AUSE 3, OWPASS 7:4 (one pass; 0 would mean sixteen),
  // OIPBP 8 and NDAS 9 clear. CDW11: the overwrite pattern, zeros.
  uint32_t cdw10 = (sanact & 0x7u) | kSanitizeAuse;
  if (sanact == kSanitizeOverwrite) cdw10 |= 1u << 4;
  PutU32(c.data(), kSqeCdw10, cdw10);
  PutU32(c.data(), kSqeCdw11, 0);
  return c;
}

bool NvmeSendErase(THandle handle, const TNvmeCommand& command, uint32_t timeoutMs,
                   uint32_t* status) {
  uint8_t in[win::kNVME_ERASE_IN_SIZE];
  uint8_t out[win::kNVME_ERASE_OUT_SIZE] = {};
  BuildNvmeEraseRequest(command, timeoutMs, in);
  uint32_t got = 0;
  if (!GetHost().DeviceIoControl(handle, win::kQUARNEL_IOCTL_NVME_ERASE, in, sizeof in, out,
                                 sizeof out, &got) ||
      got < 4) {
    return false;
  }
  *status = GetU32(out, 0);
  return true;
}

TNvmeSanitizeStatus DecodeNvmeSanitizeStatus(const uint8_t (&log)[512]) {
  TNvmeSanitizeStatus s;
  s.Progress = GetU16(log, 0);
  const uint16_t sstat = GetU16(log, 2);
  s.State = static_cast<uint8_t>(sstat & 0x7);
  s.GlobalDataErased = (sstat & 0x100) != 0;
  return s;
}

std::string NvmeStatusText(uint32_t status) {
  const uint32_t type = (status >> 8) & 0x7, code = status & 0xFF;
  if (status == 0) return "success";
  if (type == 0 && code == 0x01) return "invalid command opcode";
  if (type == 0 && code == 0x02) return "invalid field in command";
  if (type == 0 && code == 0x1C) return "sanitize failed";
  if (type == 0 && code == 0x1D) return "sanitize in progress";
  if (type == 0 && code == 0x20) return "namespace is write protected";
  if (type == 1 && code == 0x0A) return "invalid format";
  char text[48];
  std::snprintf(text, sizeof text, "status type %u, code %02Xh", type, code);
  return text;
}

}  // namespace quarnel
