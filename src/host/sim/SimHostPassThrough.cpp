// IOCTL_ATA_PASS_THROUGH on the simulated drives: the read-only queries of a
// drive's maxima (GET NATIVE MAX ADDRESS EXT, READ NATIVE MAX ADDRESS and its
// EXT form, DEVICE CONFIGURATION IDENTIFY) and IDENTIFY DEVICE. Every other
// command ends as a drive ends what it does not do: status ERR, error ABRT.
#include <algorithm>
#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

constexpr uint8_t kStatusReady = 0x50;  // DRDY and DSC
constexpr uint8_t kStatusError = 0x51;  // ... and ERR
constexpr uint8_t kErrorAbort = 0x04;
constexpr uint32_t kBlock = 512;

uint16_t Word(const std::vector<uint8_t>& b, int n) {
  return static_cast<uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

bool Offered(uint16_t word, int bit) { return (word & 0x8000) == 0 && (word >> bit) & 1; }

// The sectors the IDENTIFY block reports now: words 100-103 with 48-bit
// addressing, else words 60-61.
int64_t IdentifySectors(const std::vector<uint8_t>& id) {
  if (Offered(Word(id, 83), 10)) {
    uint64_t n = 0;
    for (int w = 103; w >= 100; --w) n = (n << 16) | Word(id, w);
    return static_cast<int64_t>(n & 0xFFFFFFFFFFFFull);
  }
  return Word(id, 60) | (int64_t{Word(id, 61)} << 16);
}

// A well-formed DEVICE CONFIGURATION IDENTIFY reply: revision 2, the maximum
// LBA in words 3-6, the signature A5h and the checksum in word 255.
std::vector<uint8_t> DcoBlock(int64_t sectors) {
  std::vector<uint8_t> b(kBlock, 0);
  b[0] = 0x02;
  PutU64(b.data(), 6, static_cast<uint64_t>(sectors - 1) & 0xFFFFFFFFFFFFull);
  b[510] = 0xA5;
  SetChecksumByte(b.data(), b.size());
  return b;
}

struct TTaskFile {
  uint8_t* Current;
  uint8_t* Previous;
};

void PutAddress(const TTaskFile& t, uint64_t address, bool ext) {
  t.Current[win::kIDEREGS_bSectorNumberReg] = static_cast<uint8_t>(address);
  t.Current[win::kIDEREGS_bCylLowReg] = static_cast<uint8_t>(address >> 8);
  t.Current[win::kIDEREGS_bCylHighReg] = static_cast<uint8_t>(address >> 16);
  if (ext) {
    t.Previous[win::kIDEREGS_bSectorNumberReg] = static_cast<uint8_t>(address >> 24);
    t.Previous[win::kIDEREGS_bCylLowReg] = static_cast<uint8_t>(address >> 32);
    t.Previous[win::kIDEREGS_bCylHighReg] = static_cast<uint8_t>(address >> 40);
  } else {
    uint8_t& device = t.Current[win::kIDEREGS_bDriveHeadReg];
    device = static_cast<uint8_t>((device & 0xF0) | ((address >> 24) & 0x0F));
  }
}

}  // namespace

bool SimHost::AtaPassThroughRequest(TSimDrive& d, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                    uint32_t outSize, uint32_t* returned) {
  TSimAtaCommand seen;
  seen.Request = win::kIOCTL_ATA_PASS_THROUGH;
  seen.InSize = inSize;
  seen.OutSize = outSize;
  const uint32_t header = win::kATA_PASS_THROUGH_EX_SIZE;
  if (inSize >= header) {
    const uint8_t* regs = in + win::kATA_PT_CurrentTaskFile;
    seen.Features = regs[win::kIDEREGS_bFeaturesReg];
    seen.Command = regs[win::kIDEREGS_bCommandReg];
    seen.DriveHead = regs[win::kIDEREGS_bDriveHeadReg];
    seen.BufferSize = GetU32(in, win::kATA_PT_DataTransferLength);
  }
  auto finish = [&](bool ok) {
    seen.Accepted = ok;
    d.AtaCommands.push_back(seen);
    if (ok) d.Commands.push_back(seen.Command);
    return ok;
  };
  // A drive that speaks no ATA, and a bridge that passes none of it.
  if (d.Identify.empty()) return finish(Fail(win::kERROR_INVALID_FUNCTION));
  if (Refused(d, "ata_pass_through")) return finish(false);
  if (inSize < header || GetU16(in, win::kATA_PT_Length) != header) {
    return finish(Fail(win::kERROR_INVALID_PARAMETER));
  }
  const uint16_t flags = GetU16(in, win::kATA_PT_AtaFlags);
  const bool dataIn = (flags & win::kATA_FLAGS_DATA_IN) != 0;
  const bool ext = (flags & win::kATA_FLAGS_48BIT_COMMAND) != 0;
  const uint32_t length = GetU32(in, win::kATA_PT_DataTransferLength);
  uint64_t offset = 0;
  for (uint32_t i = 0; i < sizeof(void*); ++i) {
    offset |= uint64_t{in[win::kATA_PT_DataBufferOffset + i]} << (8 * i);
  }
  if ((flags & win::kATA_FLAGS_DATA_OUT) != 0 ||
      (dataIn && (length != kBlock || offset < header || offset + length > outSize))) {
    return finish(Fail(win::kERROR_INVALID_PARAMETER));
  }
  if (outSize < header) return finish(Fail(win::kERROR_INSUFFICIENT_BUFFER));
  // The header comes back with the registers after the command.
  std::memmove(out, in, header);
  TTaskFile t{out + win::kATA_PT_CurrentTaskFile, out + win::kATA_PT_PreviousTaskFile};
  const uint8_t previousFeatures = in[win::kATA_PT_PreviousTaskFile + win::kIDEREGS_bFeaturesReg];
  const std::vector<uint8_t>& id = d.Identify;
  const int64_t native = d.Hidden.NativeMax.value_or(IdentifySectors(id));
  const bool hpa = Offered(Word(id, 82), 10);
  const bool amax = Offered(Word(id, 119), 8);
  const bool dco = Offered(Word(id, 83), 11);
  std::vector<uint8_t> data;
  bool done = false;
  switch (seen.Command) {
    case 0x78:  // ACCESSIBLE MAX ADDRESS CONFIGURATION; only GET NATIVE MAX (0000h) is read-only
      done = ext && amax && seen.Features == 0 && previousFeatures == 0 && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, static_cast<uint64_t>(native - 1), true);
      break;
    case 0x27:  // READ NATIVE MAX ADDRESS EXT
      done = ext && hpa && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, static_cast<uint64_t>(native - 1), true);
      break;
    case 0xF8:  // READ NATIVE MAX ADDRESS: 28 bits, the rest cut off as a drive does
      done = !ext && hpa && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, std::min<uint64_t>(native - 1, 0x0FFFFFFF), false);
      break;
    case 0xB1:  // DEVICE CONFIGURATION IDENTIFY only, never SET, RESTORE or FREEZE LOCK
      done = dataIn && dco && seen.Features == 0xC2 && !d.Hidden.DcoAborts;
      if (done) {
        data = d.Hidden.DcoBlock.empty() ? DcoBlock(d.Hidden.DcoMax.value_or(native))
                                         : d.Hidden.DcoBlock;
      }
      break;
    case 0xEC:
      done = dataIn;
      if (done) data = id;
      break;
    default:
      break;
  }
  t.Current[win::kIDEREGS_bFeaturesReg] = done ? 0 : kErrorAbort;  // the error register
  t.Current[win::kIDEREGS_bCommandReg] = done ? kStatusReady : kStatusError;
  *returned = header;
  if (dataIn) {
    std::memset(out + offset, 0, length);
    if (!data.empty()) std::memcpy(out + offset, data.data(), kBlock);
    *returned = static_cast<uint32_t>(offset + length);
  }
  // The request went through; whether the drive did the command is in its status.
  finish(Succeed());
  d.AtaCommands.back().Accepted = done;
  if (!done) d.Commands.pop_back();
  return true;
}

}  // namespace quarnel
