#include "host/EraseRequests.h"

#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

// struct nvme_admin_cmd field offsets (linux/nvme_ioctl.h).
constexpr size_t kCmdOpcode = 0, kCmdNsid = 4, kCmdCdw10 = 40, kCmdCdw11 = 44, kCmdTimeout = 64;
// Submission queue entry offsets (NVMe base specification, "Common Command Format").
constexpr size_t kSqeOpcode = 0, kSqeNsid = 4, kSqeCdw10 = 40, kSqeCdw11 = 44;

}  // namespace

void BuildNvmeEraseRequest(const TNvmeCommand& command, uint32_t timeoutMs, uint8_t* in) {
  std::memcpy(in, command.data(), kNvmeCommandSize);
  PutU32(in, kNvmeCommandSize, timeoutMs);
}

uint32_t ParseNvmeEraseRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                               TNvmeErase* e) {
  if (in == nullptr || inSize < win::kNVME_ERASE_IN_SIZE) return win::kERROR_INVALID_PARAMETER;
  *e = TNvmeErase{};
  e->Opcode = in[kSqeOpcode];
  e->Nsid = GetU32(in, kSqeNsid);
  e->Cdw10 = GetU32(in, kSqeCdw10);
  e->Cdw11 = GetU32(in, kSqeCdw11);
  e->TimeoutMs = GetU32(in, kNvmeCommandSize);
  if (e->Opcode != kNvmeAdminFormatNvm && e->Opcode != kNvmeAdminSanitize) {
    return win::kERROR_NOT_SUPPORTED;  // this request erases, nothing else
  }
  if (outSize < win::kNVME_ERASE_OUT_SIZE) return win::kERROR_INSUFFICIENT_BUFFER;
  return win::kERROR_SUCCESS;
}

void NvmeAdminFromErase(const TNvmeErase& e, uint8_t (&command)[72]) {
  std::memset(command, 0, sizeof command);
  command[kCmdOpcode] = e.Opcode;
  PutU32(command, kCmdNsid, e.Nsid);
  PutU32(command, kCmdCdw10, e.Cdw10);
  PutU32(command, kCmdCdw11, e.Cdw11);
  PutU32(command, kCmdTimeout, e.TimeoutMs);
}

bool ReinitializeMediaFor(const TNvmeErase& e, uint8_t (&out)[16]) {
  if (e.Opcode != kNvmeAdminSanitize) return false;
  const uint32_t action = e.Cdw10 & 0x7;
  uint32_t method = 0;
  if (action == 2) {
    method = win::kStorageSanitizeMethodBlockErase;
  } else if (action == 4) {
    method = win::kStorageSanitizeMethodCryptoErase;
  } else {
    return false;
  }
  std::memset(out, 0, sizeof out);
  PutU32(out, 0, win::kSTORAGE_REINITIALIZE_MEDIA_SIZE);
  PutU32(out, 4, win::kSTORAGE_REINITIALIZE_MEDIA_SIZE);
  PutU32(out, 8, (e.TimeoutMs + 999) / 1000);
  // AUSE set in the command: unrestricted exit allowed, the system's default.
  const bool restricted = (e.Cdw10 & 0x8) == 0;
  PutU32(out, 12, method | (restricted ? 0x10u : 0u));
  return true;
}

}  // namespace quarnel
