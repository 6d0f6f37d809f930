// The drive chooser on Win32: the scanned drives in a report-style list
// view; the chosen one's table index goes to SelectedDevice. Closing it
// without a choice ends the program.
#pragma once

#include <memory>
#include <string>

#include "ui/win/WinControls.h"

namespace quarnel {

class TFmChoose : public TWindow {
 public:
  TFmChoose();
  ~TFmChoose() override;

  /// The caption and the header label, set by the start-up.
  void SetTitles(const std::string& caption, const std::string& header);

  /// Fills the list from the device table, shows the dialog modally and
  /// returns whether a drive was chosen.
  bool ChooseDevice();

  HWND lbProgramName = nullptr;
  std::unique_ptr<TLinkLabel> Label1;
  HWND DriveList = nullptr;
  HWND lbCopyright = nullptr;
  std::unique_ptr<TLinkLabel> lbDiskManagement;
  HWND Label2 = nullptr;
  HWND btContinue = nullptr;
  HWND StatusBar = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FillDriveList();
  void FormShow();
  int SelectedRow() const;
  void DriveListClick();
  void DriveListDblClick();
  void btContinueClick();
  void Close();
  void lbDiskManagementClick();
  void Label1Click();

  HFONT font_ = nullptr, header_ = nullptr, underlined_ = nullptr;
  HBRUSH white_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
