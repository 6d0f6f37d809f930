// The hidden-area queries over any drive: IDENTIFY DEVICE, then the native
// maximum's and DEVICE CONFIGURATION IDENTIFY's pass-through replies, all from
// the fuzzer's bytes; the maxima believed must make sense, and the report's
// section is built. The two reply decoders are also fed registers and
// blocks directly.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzHost.h"
#include "ata/HiddenArea.h"
#include "host/Bytes.h"
#include "reports/HiddenAreaReport.h"

namespace {

using namespace quarnel;

constexpr int64_t kMax48 = int64_t{1} << 48;

void CheckQuery(const THiddenAreaQuery& q) {
  const THiddenAreaSupport& s = q.Support;
  if (HiddenAreaLines(q).size() < 2) __builtin_trap();  // the heading at least
  if (!q.Ata) {
    if (q.NativeReason != kHiddenAreaNoAta || q.NativeMax != -1 || q.DcoMax != -1) __builtin_trap();
    return;
  }
  if (s.CurrentSectors < 0 || s.CurrentSectors >= kMax48) __builtin_trap();
  // A native maximum is either believed, and then no lower than what the
  // drive reports, or unknown with a reason.
  if (q.NativeMax >= 0) {
    if (q.NativeMax < s.CurrentSectors || q.NativeMax > kMax48 || !q.NativeReason.empty()) {
      __builtin_trap();
    }
  } else if (q.NativeMax != -1 || q.NativeReason.empty()) {
    __builtin_trap();
  }
  if (!s.DcoSupported) {
    if (q.DcoMax != -1 || !q.DcoReason.empty()) __builtin_trap();
  } else if (q.DcoMax >= 0) {
    if (q.NativeMax < 0 || q.DcoMax < q.NativeMax || q.DcoMax > kMax48 || !q.DcoReason.empty()) {
      __builtin_trap();
    }
  } else if (q.DcoMax != -1 || q.DcoReason.empty()) {
    __builtin_trap();
  }
  if (q.HpaSectors() < 0 || q.DcoSectors() < 0) __builtin_trap();
  if (q.Determined() != (q.NativeMax >= 0 && (!s.DcoSupported || q.DcoMax >= 0))) {
    __builtin_trap();
  }
}

void CheckDecoders(FuzzedDataProvider& in) {
  TAtaTaskFile r;
  r.Current.SectorNumber = in.ConsumeIntegral<uint8_t>();
  r.Current.CylLow = in.ConsumeIntegral<uint8_t>();
  r.Current.CylHigh = in.ConsumeIntegral<uint8_t>();
  r.Current.DriveHead = in.ConsumeIntegral<uint8_t>();
  r.Previous.SectorNumber = in.ConsumeIntegral<uint8_t>();
  r.Previous.CylLow = in.ConsumeIntegral<uint8_t>();
  r.Previous.CylHigh = in.ConsumeIntegral<uint8_t>();
  if (NativeMaxAddress(TNativeMaxCommand::ReadNativeMax, r) >= (uint64_t{1} << 28)) {
    __builtin_trap();
  }
  const uint64_t ext = NativeMaxAddress(TNativeMaxCommand::ReadNativeMaxExt, r);
  if (ext >= uint64_t{kMax48} || ext != NativeMaxAddress(TNativeMaxCommand::GetNativeMaxExt, r) ||
      (ext & 0xFFFFFF) != (NativeMaxAddress(TNativeMaxCommand::ReadNativeMax, r) & 0xFFFFFF)) {
    __builtin_trap();
  }
  // A DCO block as given, and with its checksum made right.
  uint8_t block[kAtaBlockSize] = {};
  const std::string bytes = in.ConsumeBytesAsString(sizeof block);
  std::memcpy(block, bytes.data(), bytes.size());
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      block[510] = 0xA5;
      block[511] = 0;
      block[511] = static_cast<uint8_t>(-ByteSum(block, sizeof block));
    }
    std::string why;
    const int64_t address = DcoMaximumAddress(block, &why);
    const bool valid = block[510] == 0xA5 && ByteSum(block, sizeof block) == 0;
    if (valid != (address >= 0) || address >= kMax48 || (address < 0 && address != -1) ||
        (address < 0 && why.empty())) {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TAtaBlock identify = {};
  const std::string id = in.ConsumeBytesAsString(sizeof identify);
  std::memcpy(identify, id.data(), id.size());
  SetHost(std::make_unique<TFuzzHost>(in));
  // Drive 0 with the IDENTIFY given, drive 1 reading its own through the host.
  CheckQuery(QueryHiddenArea(1, 0, identify));
  CheckQuery(QueryHiddenArea(1, 1));
  CheckDecoders(in);
  SetHost(nullptr);
  return 0;
}
