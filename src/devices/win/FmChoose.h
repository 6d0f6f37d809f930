// The drive chooser on Win32: the scanned drives in a report-style list
// view; the chosen one's table index goes to SelectedDevice. Closing it
// without a choice ends the program.
#pragma once

#include <memory>
#include <string>

#include "devices/DriveChoose.h"
#include "ui/win/WinControls.h"

namespace quarnel {

class TFmChoose : public TWindow, public TChooserView {
 public:
  TFmChoose();
  ~TFmChoose() override;

  // TChooserView
  void SetTitles(const std::string& caption, const std::string& header) override;
  void ShowRows(const std::vector<TDriveListRow>& rows, const std::string& status) override;
  void ShowModal() override;
  void FocusList() override;
  void SelectRow(int64_t row) override;
  void EnableContinue(bool enabled) override;
  void CloseChooser() override;

  HWND lbProgramName = nullptr;
  std::unique_ptr<TLinkLabel> Label1;
  HWND DriveList = nullptr;
  HWND lbCopyright = nullptr;
  std::unique_ptr<TLinkLabel> lbDiskManagement;
  HWND Label2 = nullptr;
  HWND btContinue = nullptr;
  HWND btStation = nullptr;
  HWND StatusBar = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int SelectedRow() const;

  HFONT font_ = nullptr, header_ = nullptr, underlined_ = nullptr;
  HBRUSH white_ = nullptr;
  bool closed_ = false;
};

}  // namespace quarnel
