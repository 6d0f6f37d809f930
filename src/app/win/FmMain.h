// The main window on Win32: the drive's name, the three pages (details,
// low-level format, S.M.A.R.T.) on a tab control, the maker's line and the
// status bar. The whole start-up runs inside its first show; closing it ends
// the program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/MainStartUp.h"
#include "ui/win/WinControls.h"
#include "ui/win/WinUi.h"

namespace quarnel {

class TFmChoose;
class TFmDebug;

class TFmMain : public TWindow, public TFormatPageView, private TStartUpWindows {
 public:
  /// `arguments` without the program file; the first may be "--debug".
  TFmMain(std::vector<std::string> arguments, std::string programFile);
  ~TFmMain() override;

  /// The windows created after this one, which the first show uses.
  void SetWindows(TFmChoose* choose, TFmDebug* debug);

  /// The first show runs the start-up; the window appears only when it has
  /// opened a drive. Returns whether the window is on screen.
  bool Show();
  /// True once the window has been closed for good.
  bool Closed() const { return closed_; }
  /// Turns to page 0, 1 or 2.
  void SelectPage(int index);

  // TFormatPageView
  void ShowFormatPage(const TFormatPage& page) override;
  void FocusStopButton() override;

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
  HWND cbVerify = nullptr;  // read back after the run
  HWND btStop = nullptr;
  HWND btRunBenchmarks = nullptr;
  HWND Log_Smart = nullptr;
  HWND btGetSmart = nullptr;
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

  void btRunBenchmarksClick();
  void btStopClick();
  void btGetSmartClick();
  void lbCopyrightClick();

  // TStartUpWindows
  void ShowDebugWindow() override;
  void SetTitles(const std::string& mainTitle, const std::string& chooserCaption,
                 const std::string& chooserHeader) override;
  void ShowDebugWindowModal() override;
  bool ChooseDevice() override;
  void ShowDiskName(const std::string& description) override;
  void ShowStatusDescription(const std::string& description) override;

  std::vector<std::string> arguments_;
  std::string program_file_;
  TFmChoose* choose_ = nullptr;
  TFmDebug* debug_ = nullptr;
  bool shown_once_ = false;
  bool closed_ = false;
  HWND page_windows_[3] = {nullptr, nullptr, nullptr};
  HFONT font_ = nullptr, bold_ = nullptr, big_ = nullptr, report_ = nullptr;
  HBRUSH white_ = nullptr;
  TFormatPage shown_;
};

}  // namespace quarnel
