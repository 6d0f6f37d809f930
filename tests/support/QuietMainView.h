// A main window that draws nothing: the desktop's logic run without one.
#pragma once

#include <string>

#include "app/Desktop.h"

namespace quarnel::test {

struct TQuietMainView : TMainWindowView {
  void ShowFormatPage(const TFormatPage&) override {}
  void FocusStopButton() override {}
  void SetTitle(const std::string&) override {}
  void ShowDiskName(const std::string&) override {}
  void ShowStatusDescription(const std::string&) override {}
  void ShowHealthVerdict(const std::string&) override {}
  void ScrollReportTo(const TLogPane&, int) override {}
  void Show() override {}
  void Close() override { Closed = true; }
  bool Closed = false;
};

}  // namespace quarnel::test
