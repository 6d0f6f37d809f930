// The requests that carry a drive's own erase, as the hosts read and answer
// them: ATA_PASS_THROUGH_EX for a 48-bit non-data ATA command, and the
// hosts' own NVMe erase request (HostConstants.h). Pure functions over bytes,
// shared by the core, LinuxHost, SimHost and WinHost.
#pragma once

#include <array>
#include <cstdint>

namespace quarnel {

/// The inputs of a 48-bit ATA command.
struct TAtaCommand48 {
  uint16_t Features = 0;
  uint16_t Count = 0;
  uint64_t Lba = 0;  // 48 bits
  uint8_t Device = 0;
  uint8_t Command = 0;
};

/// The registers a 48-bit command returns.
struct TAtaReturn48 {
  uint8_t Error = 0;
  uint8_t Status = 0;
  uint8_t Device = 0;
  uint16_t Count = 0;
  uint64_t Lba = 0;
};

/// An ATA_PASS_THROUGH_EX (kATA_PASS_THROUGH_EX_SIZE bytes) for a non-data
/// 48-bit command: the high bytes in PreviousTaskFile, the low in CurrentTaskFile.
void BuildAtaPassThroughEx(const TAtaCommand48& command, uint32_t timeoutSeconds, uint8_t* out);

/// SANITIZE DEVICE, the one ATA command the erase requests carry.
inline constexpr uint8_t kSanitizeDeviceCommand = 0xB4;

/// True for an IOCTL_ATA_PASS_THROUGH request that carries SANITIZE DEVICE
/// (B4h): the hosts send those the erase way, and every other command the
/// way of the read-only queries, which allows only those.
bool IsSanitizeRequest(const uint8_t* in, uint32_t inSize);

/// Reads a request; only non-data 48-bit commands are carried. Returns 0 or
/// the Win32 code of the refusal.
uint32_t ParseAtaPassThroughEx(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                               TAtaCommand48* command, uint32_t* timeoutSeconds);

/// The returned registers into a reply (a copy of the request) and out of it.
void PutAtaReturn(const TAtaReturn48& registers, uint8_t* reply);
TAtaReturn48 GetAtaReturn(const uint8_t* reply);

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
