// The hosts' own NVMe erase request (HostConstants.h), as the hosts read and
// answer it; ATA's erase (SANITIZE) travels in IOCTL_ATA_PASS_THROUGH
// (AtaRequests.h). Pure functions over bytes, shared by the core, LinuxHost,
// SimHost and WinHost.
#pragma once

#include <array>
#include <cstdint>

namespace quarnel {

inline constexpr uint32_t kNvmeCommandSize = 64;
using TNvmeCommand = std::array<uint8_t, kNvmeCommandSize>;

/// The fields of an NVMe erase request that matter.
struct TNvmeErase {
  uint8_t Opcode = 0;
  uint32_t Nsid = 0;
  uint32_t Cdw10 = 0;
  uint32_t Cdw11 = 0;
  uint32_t TimeoutMs = 0;
};

inline constexpr uint8_t kNvmeAdminFormatNvm = 0x80;
inline constexpr uint8_t kNvmeAdminSanitize = 0x84;

/// The request's input (kNVME_ERASE_IN_SIZE bytes): the entry, then the time-out.
void BuildNvmeEraseRequest(const TNvmeCommand& command, uint32_t timeoutMs, uint8_t* in);

/// Reads a request: Format NVM and Sanitize only, the output able to hold
/// the reply. Returns 0 or the Win32 code of the refusal.
uint32_t ParseNvmeEraseRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                               TNvmeErase* erase);

/// The Linux struct nvme_admin_cmd (72 bytes) for an erase: no data.
void NvmeAdminFromErase(const TNvmeErase& erase, uint8_t (&command)[72]);

/// The STORAGE_REINITIALIZE_MEDIA that carries a Sanitize block or crypto
/// erase on Windows; false for anything the system request cannot express.
bool ReinitializeMediaFor(const TNvmeErase& erase, uint8_t (&out)[16]);

}  // namespace quarnel
