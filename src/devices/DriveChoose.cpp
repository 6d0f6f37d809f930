#include "devices/DriveChoose.h"

#include "base/NumberTexts.h"
#include "base/ProgramInfo.h"
#include "base/System.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "ui/UiSeam.h"

namespace quarnel {

bool DeviceChosen = false;

namespace {
bool rightsNoticeShown = false;
}  // namespace

TDriveListRow DriveListRow(const TDeviceTable& entry) {
  const TIdentifyDeviceData& id = entry.IdentifyData;
  std::string model = Trim(id.Model);
  if (!entry.AssociatedPartitions.empty()) model += " (" + entry.AssociatedPartitions + ")";
  int64_t bytes = 0;
  const bool overflow = __builtin_mul_overflow(id.LBA, id.SectorSize, &bytes);
  return {BusTypeName(id.BusType),
          model,
          id.FW,
          id.SN,
          DecText(id.LBA),
          overflow ? std::string() : SizeToStr(bytes)};
}

bool AcceptDriveChoice(int64_t row) {
  const int64_t index = row + 1;
  if (index < 1 || index > DeviceCount) return false;
  if (DeviceTable[index].IdentifyData.LBA < kMinimumChoosableSectors) {
    Ui().ShowMessage(kTooSmallText, kTooSmallCaption, TMessageIcon::Information);
    return false;
  }
  DeviceChosen = true;
  SelectedDevice = index;
  return true;
}

void ChooserShown() {
  if (!DriveRightsMissing || rightsNoticeShown) return;
  rightsNoticeShown = true;
  Ui().ShowMessage(std::string(kNoDriveRightsText) + "。\n\n" + AdminRightsHint() + "。",
                   kProgramTitle, TMessageIcon::Warning);
}

int64_t InitialDriveRow() { return DeviceCount > 0 ? DeviceCount - 1 : -1; }

void DriveListEscapePressed() { RequestProgramEnd(0); }

void ChooserClosed() {
  if (!DeviceChosen) RequestProgramEnd(0);
}

void ResetDriveChoose() {
  DeviceChosen = false;
  rightsNoticeShown = false;
}

}  // namespace quarnel
