#include "host/EraseRequests.h"

#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

// Task-file byte order inside ATA_PASS_THROUGH_EX (as in IDEREGS).
constexpr uint32_t kTfFeatures = 0, kTfCount = 1, kTfLbaLow = 2, kTfLbaMid = 3, kTfLbaHigh = 4,
                   kTfDevice = 5, kTfCommand = 6;

uint8_t Byte(uint64_t value, int index) { return static_cast<uint8_t>(value >> (8 * index)); }

// struct nvme_admin_cmd field offsets (linux/nvme_ioctl.h).
constexpr size_t kCmdOpcode = 0, kCmdNsid = 4, kCmdCdw10 = 40, kCmdCdw11 = 44, kCmdTimeout = 64;
// Submission queue entry offsets (NVMe base specification, "Common Command Format").
constexpr size_t kSqeOpcode = 0, kSqeNsid = 4, kSqeCdw10 = 40, kSqeCdw11 = 44;

}  // namespace

void BuildAtaPassThroughEx(const TAtaCommand48& c, uint32_t timeoutSeconds, uint8_t* out) {
  std::memset(out, 0, win::kATA_PASS_THROUGH_EX_SIZE);
  PutU16(out, win::kATA_PT_Length, static_cast<uint16_t>(win::kATA_PASS_THROUGH_EX_SIZE));
  PutU16(out, win::kATA_PT_AtaFlags, win::kATA_FLAGS_DRDY_REQUIRED | win::kATA_FLAGS_48BIT_COMMAND);
  PutU32(out, win::kATA_PT_TimeOutValue, timeoutSeconds);
  uint8_t* prev = out + win::kATA_PT_PreviousTaskFile;
  uint8_t* cur = out + win::kATA_PT_CurrentTaskFile;
  prev[kTfFeatures] = Byte(c.Features, 1);
  prev[kTfCount] = Byte(c.Count, 1);
  prev[kTfLbaLow] = Byte(c.Lba, 3);
  prev[kTfLbaMid] = Byte(c.Lba, 4);
  prev[kTfLbaHigh] = Byte(c.Lba, 5);
  cur[kTfFeatures] = Byte(c.Features, 0);
  cur[kTfCount] = Byte(c.Count, 0);
  cur[kTfLbaLow] = Byte(c.Lba, 0);
  cur[kTfLbaMid] = Byte(c.Lba, 1);
  cur[kTfLbaHigh] = Byte(c.Lba, 2);
  cur[kTfDevice] = c.Device;
  cur[kTfCommand] = c.Command;
}

bool IsSanitizeRequest(const uint8_t* in, uint32_t inSize) {
  return in && inSize >= win::kATA_PASS_THROUGH_EX_SIZE &&
         in[win::kATA_PT_CurrentTaskFile + win::kIDEREGS_bCommandReg] == kSanitizeDeviceCommand;
}

uint32_t ParseAtaPassThroughEx(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                               TAtaCommand48* c, uint32_t* timeoutSeconds) {
  if (in == nullptr || inSize < win::kATA_PASS_THROUGH_EX_SIZE ||
      GetU16(in, win::kATA_PT_Length) != win::kATA_PASS_THROUGH_EX_SIZE) {
    return win::kERROR_INVALID_PARAMETER;
  }
  const uint16_t flags = GetU16(in, win::kATA_PT_AtaFlags);
  if ((flags & win::kATA_FLAGS_48BIT_COMMAND) == 0 || (flags & 0x06) != 0 ||
      GetU32(in, win::kATA_PT_DataTransferLength) != 0) {
    return win::kERROR_NOT_SUPPORTED;  // data transfers are not carried here
  }
  if (outSize < win::kATA_PASS_THROUGH_EX_SIZE) return win::kERROR_INSUFFICIENT_BUFFER;
  const uint8_t* prev = in + win::kATA_PT_PreviousTaskFile;
  const uint8_t* cur = in + win::kATA_PT_CurrentTaskFile;
  *c = TAtaCommand48{};
  c->Features = static_cast<uint16_t>(cur[kTfFeatures] | (prev[kTfFeatures] << 8));
  c->Count = static_cast<uint16_t>(cur[kTfCount] | (prev[kTfCount] << 8));
  c->Lba = uint64_t{cur[kTfLbaLow]} | (uint64_t{cur[kTfLbaMid]} << 8) |
           (uint64_t{cur[kTfLbaHigh]} << 16) | (uint64_t{prev[kTfLbaLow]} << 24) |
           (uint64_t{prev[kTfLbaMid]} << 32) | (uint64_t{prev[kTfLbaHigh]} << 40);
  c->Device = cur[kTfDevice];
  c->Command = cur[kTfCommand];
  *timeoutSeconds = GetU32(in, win::kATA_PT_TimeOutValue);
  return win::kERROR_SUCCESS;
}

void PutAtaReturn(const TAtaReturn48& r, uint8_t* reply) {
  uint8_t* prev = reply + win::kATA_PT_PreviousTaskFile;
  uint8_t* cur = reply + win::kATA_PT_CurrentTaskFile;
  // In the reply the features byte holds the error register, the command
  // byte the status register.
  cur[kTfFeatures] = r.Error;
  cur[kTfCount] = Byte(r.Count, 0);
  cur[kTfLbaLow] = Byte(r.Lba, 0);
  cur[kTfLbaMid] = Byte(r.Lba, 1);
  cur[kTfLbaHigh] = Byte(r.Lba, 2);
  cur[kTfDevice] = r.Device;
  cur[kTfCommand] = r.Status;
  prev[kTfFeatures] = 0;
  prev[kTfCount] = Byte(r.Count, 1);
  prev[kTfLbaLow] = Byte(r.Lba, 3);
  prev[kTfLbaMid] = Byte(r.Lba, 4);
  prev[kTfLbaHigh] = Byte(r.Lba, 5);
}

TAtaReturn48 GetAtaReturn(const uint8_t* reply) {
  const uint8_t* prev = reply + win::kATA_PT_PreviousTaskFile;
  const uint8_t* cur = reply + win::kATA_PT_CurrentTaskFile;
  TAtaReturn48 r;
  r.Error = cur[kTfFeatures];
  r.Status = cur[kTfCommand];
  r.Device = cur[kTfDevice];
  r.Count = static_cast<uint16_t>(cur[kTfCount] | (prev[kTfCount] << 8));
  r.Lba = uint64_t{cur[kTfLbaLow]} | (uint64_t{cur[kTfLbaMid]} << 8) |
          (uint64_t{cur[kTfLbaHigh]} << 16) | (uint64_t{prev[kTfLbaLow]} << 24) |
          (uint64_t{prev[kTfLbaMid]} << 32) | (uint64_t{prev[kTfLbaHigh]} << 40);
  return r;
}

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
