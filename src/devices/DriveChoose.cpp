#include "devices/DriveChoose.h"

#include "base/NumberTexts.h"
#include "base/ProgramInfo.h"
#include "base/System.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "ui/UiSeam.h"

namespace quarnel {

bool DeviceChosen = false;
bool StationChosen = false;

namespace {
bool rightsNoticeShown = false;
// What the chooser was last told about its continue button.
bool continueEnabled = false;

void EnableContinue(TChooserView& view, bool enabled) {
  continueEnabled = enabled;
  view.EnableContinue(enabled);
}
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
  if (!DeviceChosen && !StationChosen) RequestProgramEnd(0);
}

void btStationClick(TChooserView& view) {
  StationChosen = true;
  view.CloseChooser();
}

bool ChooseDevice(TChooserView& view) {
  std::vector<TDriveListRow> rows;
  for (int64_t i = 1; i <= DeviceCount; ++i) rows.push_back(DriveListRow(DeviceTable[i]));
  view.ShowRows(rows, ChooserStatusText);
  EnableContinue(view, false);
  view.ShowModal();
  return DeviceChosen;
}

void ChooserFormShow(TChooserView& view) {
  view.FocusList();
  const int64_t row = InitialDriveRow();
  if (row < 0) return;
  EnableContinue(view, true);
  view.SelectRow(row);
}

void DriveListClick(TChooserView& view, int64_t selected) { EnableContinue(view, selected >= 0); }

void DriveListDblClick(TChooserView& view, int64_t selected) {
  if (selected >= 0) btContinueClick(view, selected);
}

void btContinueClick(TChooserView& view, int64_t selected) {
  if (!continueEnabled || selected < 0) return;
  if (AcceptDriveChoice(selected)) view.CloseChooser();
}

void DriveListKeyEscape(TChooserView& view) {
  DriveListEscapePressed();
  view.CloseChooser();
}

void ResetDriveChoose() {
  DeviceChosen = false;
  StationChosen = false;
  rightsNoticeShown = false;
  continueEnabled = false;
}

}  // namespace quarnel
