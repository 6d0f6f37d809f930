// A simulated machine with one chosen drive, a recording format page, and a
// fixed clock, for the format tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "erase/DriveRun.h"
#include "host/sim/SimHost.h"
#include "ui/UiSeam.h"

namespace quarnel::test {

class TFormatUi : public TUiSeam {
 public:
  void ShowMessage(const std::string& text, const std::string&, TMessageIcon) override {
    Messages.push_back(text);
  }
  int TaskDialog(const TTaskDialogRequest& request) override {
    Dialogs.push_back(request);
    return Answer;
  }
  void ProcessMessages() override {
    ++Pumps;
    if (OnPump) OnPump();
  }
  /// Each change of the bar's look as the pushed pages show it.
  void ShowFormatPage(const TFormatPage& page) override {
    if (States.empty() || States.back() != page.State) States.push_back(page.State);
  }

  int Answer = 6;  // the task dialog's Yes
  int Pumps = 0;
  std::function<void()> OnPump;
  std::vector<std::string> Messages;
  std::vector<TTaskDialogRequest> Dialogs;
  std::vector<TProgressState> States;
};

class FormatTest : public ::testing::Test {
 protected:
  void TearDown() override;

  /// Installs a machine from `json`, scans it, selects entry 1 and opens it
  /// as the main window does. The clock advances 10 ms per reading.
  SimHost& Machine(const std::string& json);
  /// One drive of `length` bytes; `extra` adds keys to the drive object.
  SimHost& OneDrive(int64_t length, const std::string& extra = "");

  TSimDrive& Drive() { return *host_->Drive(0); }
  /// The main log without time stamps.
  std::vector<std::string> Log() const;
  /// The main log from the first line that equals `from`.
  std::vector<std::string> LogFrom(const std::string& from) const;

  /// The run over the chosen drive, made on its first use (after the
  /// machine), with the fixture's clock.
  TDriveRun& Run();

  TFormatUi ui_;
  std::unique_ptr<TDriveRun> run_;
  SimHost* host_ = nullptr;
  int64_t clock_ = 1000000;
  int64_t tick_ = 10;
};

/// A file of `size` bytes filled with a repeating non-zero pattern.
void WritePattern(const std::string& path, int64_t size);
/// True when [begin, end) of `bytes` holds the pattern WritePattern wrote.
bool HoldsPattern(const std::vector<uint8_t>& bytes, int64_t begin, int64_t end);
bool AllZero(const std::vector<uint8_t>& bytes, int64_t begin, int64_t end);

}  // namespace quarnel::test
