// The main window on Win32: the drive's name, the three pages (details,
// low-level format, S.M.A.R.T.) on a tab control, the maker's line and the
// status bar. The whole start-up runs inside its first show; closing it ends
// the program.
#pragma once

#include <memory>
#include <string>

#include "app/Desktop.h"
#include "ui/win/WinControls.h"
#include "ui/win/WinUi.h"

namespace quarnel {

class TFmMain : public TWindow, public TMainWindowView {
 public:
  TFmMain();
  ~TFmMain() override;

  /// True once the window has been closed for good.
  bool Closed() const { return closed_; }
  /// Turns to page 0, 1 or 2.
  void SelectPage(int index);

  // TMainWindowView
  void ShowFormatPage(const TFormatPage& page) override;
  void ShowFirmwareChoice(const TFormatPage& page);
  void FocusStopButton() override;
  void SetTitle(const std::string& title) override;
  void ShowDiskName(const std::string& description) override;
  void ShowStatusDescription(const std::string& description) override;
  void ShowHealthVerdict(const std::string& verdict) override;
  void ShowSelfTestRow(const TSelfTestRow& row) override;
  void ScrollReportTo(const TLogPane& pane, int line) override;
  void Show() override;
  void Close() override;

  HWND lbDiskName = nullptr;
  HWND pages = nullptr;
  HWND Log_Details = nullptr;
  HWND Log_BenchMark = nullptr;
  HWND gbProgress = nullptr;
  HWND pbCurrentTask = nullptr;
  HWND lbCurrentPercent = nullptr;
  HWND lbSpeed = nullptr;
  HWND lbCurrentPosition = nullptr;
  HWND cbQuickWipe = nullptr;
  HWND cbVerify = nullptr;          // read back after the run
  HWND cbFirmware = nullptr;        // the drive's own erase instead of the zero fill
  HWND cbFirmwareMethod = nullptr;  // its method
  HWND btStop = nullptr;
  HWND btRunBenchmarks = nullptr;
  HWND btCertificate = nullptr;  // the certificate of the run just ended
  HWND Log_Smart = nullptr;
  HWND btGetSmart = nullptr;
  HWND lbSelfTest = nullptr;  // the self-test row beside it
  HWND pbSelfTest = nullptr;
  HWND cbSelfTestKind = nullptr;
  HWND btSelfTest = nullptr;
  std::unique_ptr<TLinkLabel> lbCopyright;
  HWND StatusBar = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void BuildPages();
  void BuildFormatPage(HWND page);
  void BuildSmartPage(HWND page);
  void Layout();
  void LayoutFormatPage(int width, int height);
  void LayoutSmartPage(int width, int height);
  void OnCommand(int id);
  HWND Control(TFormatControl control) const;

  bool closed_ = false;
  HWND page_windows_[3] = {nullptr, nullptr, nullptr};
  HFONT font_ = nullptr, bold_ = nullptr, maker_ = nullptr, big_ = nullptr, report_ = nullptr;
  HBRUSH white_ = nullptr;
  TFormatPage shown_;
  TSelfTestRow selfTestRow_ = IdleSelfTestRow();
};

}  // namespace quarnel
