// DecodeIdentifyData and the details lines over any bytes (short inputs are
// zero-filled to a block); the same bytes as the hidden-area replies: an
// IDENTIFY block's maxima, a DCO reply, and returned registers.
#include <cstdint>
#include <cstring>

#include "ata/HiddenArea.h"
#include "ata/IdentifyDecode.h"
#include "reports/DeviceDetails.h"
#include "reports/HiddenAreaReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t block[quarnel::kIdentifyBlockSize] = {};
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  const quarnel::T_IDE_PASSPORT p = quarnel::DecodeIdentifyData(block);
  if (p.sectorsize != 512 || p.lbasectors < 0) __builtin_trap();
  (void)quarnel::DeviceDetailsLines(p);

  using namespace quarnel;
  THiddenAreaQuery q;
  q.Ata = true;
  q.Support = HiddenAreaSupport(block);
  if (q.Support.CurrentSectors < 0 || q.Support.CurrentSectors > (int64_t{1} << 48)) {
    __builtin_trap();
  }
  TAtaTaskFile returned;
  returned.Ext = true;
  returned.Current = {block[0], block[1], block[2], block[3], block[4], block[5], block[6]};
  returned.Previous = {block[7], block[8], block[9], block[10], block[11], block[12], block[13]};
  const uint64_t native = NativeMaxAddress(NativeMaxCommandFor(q.Support), returned);
  if (native >= (uint64_t{1} << 48)) __builtin_trap();
  q.NativeMax = static_cast<int64_t>(native) + 1;
  std::string why;
  const int64_t dco = DcoMaximumAddress(block, &why);
  if (dco < -1 || dco >= (int64_t{1} << 48) || (dco < 0) == why.empty()) __builtin_trap();
  q.DcoMax = dco < 0 ? -1 : dco + 1;
  q.DcoReason = why;
  if (q.HpaSectors() < 0 || q.DcoSectors() < 0) __builtin_trap();
  (void)HiddenAreaLines(q);
  return 0;
}
