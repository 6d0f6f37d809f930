#include "erase/HiddenAreaRun.h"

#include <algorithm>

#include "base/NumberTexts.h"
#include "devices/DeviceTable.h"

namespace quarnel {

THiddenArea HiddenAreaForRecord(const THiddenAreaQuery& q, bool ata) {
  THiddenArea h;
  h.Applies = ata;
  if (!ata) return h;
  h.Determined = q.Determined();
  h.Reason = q.NativeMax < 0 ? q.NativeReason : q.DcoReason;
  h.CurrentMax = q.Support.CurrentSectors;
  h.NativeMax = q.NativeMax;
  h.DcoMax = q.DcoMax;
  return h;
}

THiddenArea QueryDriveHiddenArea(THandle handle, const TIdentifyDeviceData& id) {
  if (!HiddenAreasPossible(id.BusType)) return HiddenAreaForRecord({}, false);
  return HiddenAreaForRecord(QueryHiddenArea(handle, id.IsIDESlave), true);
}

int64_t HpaSectors(const THiddenArea& h) {
  return h.Applies && h.NativeMax > h.CurrentMax ? h.NativeMax - h.CurrentMax : 0;
}

int64_t DcoSectors(const THiddenArea& h) {
  if (!h.Applies || h.NativeMax < 0 || h.DcoMax < 0) return 0;
  const int64_t base = std::max(h.NativeMax, h.CurrentMax);
  return h.DcoMax > base ? h.DcoMax - base : 0;
}

std::string HiddenAreaConfirmationLine(const THiddenArea& h) {
  const int64_t hidden = HpaSectors(h) + DcoSectors(h);
  if (hidden <= 0) return "";
  return "此驱动器隐藏了 " + IntToStrGrouped(hidden) + " 个扇区 (HPA/DCO)，本次擦除不会触及它们。";
}

std::vector<std::string> HiddenAreaRunNotes(const THiddenArea& h) {
  std::vector<std::string> notes;
  if (!h.Applies) return notes;
  if (const int64_t hpa = HpaSectors(h); hpa > 0) {
    notes.push_back("注意: " + IntToStrGrouped(hpa) + " 个扇区位于主机保护区 (HPA)，未被擦除。");
  }
  if (const int64_t dco = DcoSectors(h); dco > 0) {
    notes.push_back("注意: " + IntToStrGrouped(dco) +
                    " 个扇区位于设备配置覆盖区 (DCO)，未被擦除。");
  }
  if (h.NativeMax < 0) {
    notes.push_back("注意: 无法确定驱动器是否隐藏扇区 (HPA/DCO): " + h.Reason);
  } else if (!h.Determined) {
    notes.push_back("注意: 无法确定设备配置覆盖区 (DCO) 是否隐藏扇区: " + h.Reason);
  }
  return notes;
}

}  // namespace quarnel
