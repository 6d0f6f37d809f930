// IOCTL_ATA_PASS_THROUGH on the simulated drives: the read-only queries of a
// drive's maxima (GET NATIVE MAX ADDRESS EXT, READ NATIVE MAX ADDRESS and its
// EXT form, DEVICE CONFIGURATION IDENTIFY) and IDENTIFY DEVICE. Every other
// command ends as a drive ends what it does not do: status ERR, error ABRT.
#include <algorithm>
#include <cstring>

#include "host/AtaRequests.h"
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

// The maximum address in the registers as the command returns it: a 28-bit
// one in the device register's low nibble.
void PutAddress(TAtaTaskFile& t, uint64_t address) {
  if (t.Ext) {
    t.SetLba48(address);
    return;
  }
  t.Current.SectorNumber = static_cast<uint8_t>(address);
  t.Current.CylLow = static_cast<uint8_t>(address >> 8);
  t.Current.CylHigh = static_cast<uint8_t>(address >> 16);
  t.Current.DriveHead =
      static_cast<uint8_t>((t.Current.DriveHead & 0xF0) | ((address >> 24) & 0x0F));
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
  TAtaPassThroughRequest request;
  if (const uint32_t refused = ReadAtaPassThrough(in, inSize, &request)) {
    return finish(Fail(refused));
  }
  if ((request.Flags & win::kATA_FLAGS_DATA_OUT) != 0) {
    return finish(Fail(win::kERROR_INVALID_PARAMETER));
  }
  if (const uint32_t refused = CheckAtaReplyRoom(request, outSize)) return finish(Fail(refused));
  const bool dataIn = request.DataIn;
  const bool ext = request.TaskFile.Ext;
  // The header comes back with the registers after the command.
  std::memmove(out, in, header);
  TAtaTaskFile t = request.TaskFile;
  const std::vector<uint8_t>& id = d.Identify;
  const int64_t native = d.Hidden.NativeMax.value_or(IdentifySectors(id));
  const bool hpa = Offered(Word(id, 82), 10);
  const bool amax = Offered(Word(id, 119), 8);
  const bool dco = Offered(Word(id, 83), 11);
  std::vector<uint8_t> data;
  bool done = false;
  switch (seen.Command) {
    case kAtaGetNativeMaxExt:  // only GET NATIVE MAX (feature 0000h) is read-only
      done = ext && amax && t.Features16() == 0 && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, static_cast<uint64_t>(native - 1));
      break;
    case kAtaReadNativeMaxExt:
      done = ext && hpa && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, static_cast<uint64_t>(native - 1));
      break;
    case kAtaReadNativeMax:  // 28 bits, the rest cut off as a drive does
      done = !ext && hpa && !d.Hidden.NativeAborts;
      if (done) PutAddress(t, std::min<uint64_t>(native - 1, 0x0FFFFFFF));
      break;
    case kAtaDeviceConfiguration:  // IDENTIFY only, never SET, RESTORE or FREEZE LOCK
      done = dataIn && dco && seen.Features == kAtaDcoIdentifyFeature && !d.Hidden.DcoAborts;
      if (done) {
        data = d.Hidden.DcoBlock.empty() ? DcoBlock(d.Hidden.DcoMax.value_or(native))
                                         : d.Hidden.DcoBlock;
      }
      break;
    case win::kATA_IDENTIFY_DEVICE:
      done = dataIn;
      if (done) data = id;
      break;
    default:
      break;
  }
  t.Current.Features = done ? 0 : kErrorAbort;  // the error register
  t.Current.Command = done ? kStatusReady : kStatusError;
  PutTaskFile(out, t);
  *returned = header;
  if (dataIn) {
    const auto offset = static_cast<uint32_t>(request.DataOffset);
    std::memset(out + offset, 0, kBlock);
    if (!data.empty()) std::memcpy(out + offset, data.data(), kBlock);
    *returned = offset + kBlock;
  }
  // The request went through; whether the drive did the command is in its status.
  finish(Succeed());
  d.AtaCommands.back().Accepted = done;
  if (!done) d.Commands.pop_back();
  return true;
}

}  // namespace quarnel
