// The erase station's window on Win32: a list view with a box to tick on
// each drive, the mode and read-back for the ticked ones, start, stop and
// the certificate, and a timer that lets the station hear its runs.
#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "station/Station.h"
#include "ui/win/WinControls.h"

namespace quarnel {

class TFmStation : public TWindow, public TStationView {
 public:
  TFmStation(TUiSeam& ui, TStationSetup setup);
  ~TFmStation() override;

  // TStationView
  void SetTitle(const std::string& title) override;
  void ShowRows(const std::vector<TStationRow>& rows) override;
  void ShowStatus(const std::string& text) override;
  void EnableButtons(bool start, bool stop) override;
  void OpenPage(const std::string& path) override;

  /// On screen; the first scan is drawn and the timer started.
  void Show();
  bool Closed() const { return closed_; }
  TStation& Station() { return *station_; }

  HWND DriveTable = nullptr;
  std::array<HWND, 3> rbMode{};
  HWND cbMethod = nullptr;
  HWND cbVerify = nullptr;
  HWND btStart = nullptr;
  HWND btStop = nullptr;
  HWND btStopAll = nullptr;
  HWND btCertificate = nullptr;
  HWND StatusBar = nullptr;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ModeChanged();
  void Layout(int width, int height);
  std::vector<size_t> SelectedRows() const;
  void Close();

  std::unique_ptr<TStation> station_;
  HFONT font_ = nullptr;
  bool drawing_ = false;  // the list is being filled: its changes are no clicks
  bool started_ = false;
  bool closed_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace quarnel
