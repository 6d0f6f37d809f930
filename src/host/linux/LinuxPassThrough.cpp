// LinuxHost's IOCTL_ATA_PASS_THROUGH: the read-only queries, carried by
// SG_IO ATA PASS-THROUGH (16), and the registers the drive returns come
// back in the request's task files, read from the sense data. SANITIZE goes
// the erase way (LinuxErase.cpp).
#include <cerrno>
#include <cstring>

#include "host/HostConstants.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {

namespace {
constexpr uint32_t kBlock = 512;
constexpr uint8_t kStatusReady = 0x50;
}  // namespace

bool ReturnedRegisters(const TAtaPassThroughRequest& r, const sgio::TSense& sense,
                       TAtaTaskFile* returned) {
  const bool ext = r.TaskFile.Ext;
  TAtaTaskFile t;
  t.Ext = ext;
  t.Current = r.TaskFile.Current;
  if (sense.HasAtaStatus) {
    if (ext && sense.HobLost) return false;
    t.Current = sense.Registers.Current;
    if (ext && sense.Descriptor) t.Previous = sense.Registers.Previous;
  } else {
    // A data command that completed without sense: its status was good.
    t.Current.Features = 0;
    t.Current.Command = kStatusReady;
  }
  *returned = t;
  return true;
}

bool LinuxHost::AtaPassThroughRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                      uint32_t outSize, uint32_t* returned) {
  TAtaPassThroughRequest r;
  if (uint32_t refused = ParseAtaQueryRequest(in, inSize, outSize, &r)) {
    return Fail(refused, refused == win::kERROR_INVALID_FUNCTION ? ENOTTY : EINVAL);
  }
  const uint32_t seconds = r.TimeoutSeconds;
  const uint32_t timeoutMs = (seconds == 0 || seconds > 120 ? 120 : seconds) * 1000;
  uint8_t data[kBlock] = {};
  TSgAnswer answer;
  sgio::TAtaOutcome outcome;
  const uint32_t failed =
      SgAtaCommand(open.Fd, r.TaskFile, r.DataIn, data, timeoutMs, &answer, &outcome);
  if (answer.Errno != 0) return Fail(failed, answer.Errno);
  // A drive that ended the command with ERR still answered: Windows returns
  // its registers, and so do we. Without them the request itself failed.
  const uint8_t key = outcome.Sense.Key;
  const bool registersGiven = outcome.Sense.HasAtaStatus && answer.HostStatus == 0 &&
                              (key == sgio::kSenseNoSense || key == sgio::kSenseRecoveredError ||
                               key == sgio::kSenseAbortedCommand);
  if (failed != 0 && !registersGiven) return Fail(failed, EIO);
  TAtaTaskFile registers;
  if (!ReturnedRegisters(r, outcome.Sense, &registers)) {
    // The kernel gave the answer in fixed format, which has no room for the
    // upper address bytes: no answer beats a wrong one.
    return Fail(win::kERROR_NOT_SUPPORTED, EOPNOTSUPP);
  }
  std::memmove(out, in, win::kATA_PASS_THROUGH_EX_SIZE);
  PutTaskFile(out, registers);
  *returned = win::kATA_PASS_THROUGH_EX_SIZE;
  if (r.DataIn) {
    const auto offset = static_cast<uint32_t>(r.DataOffset);
    std::memcpy(out + offset, data, kBlock);
    *returned = offset + kBlock;
  }
  return Succeed();
}

}  // namespace quarnel
