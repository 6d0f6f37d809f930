// The S.M.A.R.T. page's self-test: started by its button, followed while the
// window's messages are handled, stopped by the same button, its outcome
// and the drive's log written to the page.
#include <string>

#include "app/Desktop.h"
#include "app/MainState.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "reports/SelfTestRun.h"
#include "ui/Catalogue.h"

namespace quarnel {

using namespace mainwindow;

namespace {

// The test being followed: set while SelfTestButtonClicked runs.
struct TFollowed {
  bool AbortAsked = false;   // the button was clicked again
  bool StopWaiting = false;  // the window is closing
};
TFollowed* followed = nullptr;

constexpr TSelfTestKind kKinds[] = {TSelfTestKind::Short, TSelfTestKind::Extended,
                                    TSelfTestKind::Conveyance};

std::string Elapsed(int64_t ms) {
  const int64_t s = ms / 1000;
  const int64_t m = s / 60;
  std::string sec = DecText(static_cast<int>(s % 60));
  if (sec.size() < 2) sec = "0" + sec;
  return DecText(static_cast<int>(m)) + ":" + sec;
}

// Why no test was started, or "" when one runs now.
std::string StartText(TSelfTestStart start, const TSelfTestFacts& f, int kindIndex) {
  switch (start) {
    case TSelfTestStart::Started:
    case TSelfTestStart::AlreadyRunning:
      return "";
    case TSelfTestStart::NotOffered:
      return f.Asked ? kSelfTestNoneOfferedText : kSelfTestNoSmartText;
    case TSelfTestStart::KindNotOffered:
      return std::string(kSelfTestKindNotOfferedText) + kSelfTestKindCaptions[kindIndex];
    case TSelfTestStart::Refused:
      break;
  }
  return kSelfTestRefusedText + SystemErrorText(GetHost().GetLastError());
}

// The page's lines and the row's line once the test ended.
std::string WriteOutcome(const TIdentifyDeviceData& id) {
  const TSelfTestOutcome o = ReadSelfTestOutcome(DeviceHandle, id);
  std::string text;
  if (o.Source == TSelfTestOutcome::TSource::None) {
    text = kSelfTestNoResultText;
  } else {
    text = (o.Source == TSelfTestOutcome::TSource::Status ? kSelfTestStatusOnlyText
                                                          : kSelfTestEndedText) +
           SelfTestEntryText(o.Newest);
  }
  AddSmartLog(text);
  for (const std::string& line : SelfTestLines(o.Facts)) AddSmartLog(line);
  return text;
}

TSelfTestWaitEnd Follow(TMainWindowView& main, const TIdentifyDeviceData& id, int kindIndex,
                        TFollowed& state) {
  TSelfTestRow row;
  row.Running = true;
  row.ButtonCaption = kSelfTestAbortCaption;
  const std::string kind = kSelfTestKindCaptions[kindIndex];
  TSelfTestWaitHooks hooks;
  hooks.BetweenSteps = [] { Ui().ProcessMessages(); };
  hooks.Progress = [&](const TSelfTestProgress& p, int64_t elapsedMs) {
    row.Percent = 100 - p.RemainingPercent;
    row.Text = kind + ": " + kSelfTestLeftText + DecText(p.RemainingPercent) + "%  " +
               kSelfTestElapsedText + Elapsed(elapsedMs);
    main.ShowSelfTestRow(row);
  };
  for (;;) {
    hooks.StopWaiting = [&] { return state.StopWaiting || state.AbortAsked; };
    const TSelfTestWaitEnd end = WaitForSelfTestEnd(DeviceHandle, id, hooks);
    if (end != TSelfTestWaitEnd::Stopped || state.StopWaiting) return end;
    // The button again: the drive stops its test, and its log says so.
    state.AbortAsked = false;
    row.Text = kSelfTestAbortingText;
    main.ShowSelfTestRow(row);
    TSelfTestFacts facts = ReadSelfTestFacts(DeviceHandle, id);
    facts.Offered = true;  // it offered the test now running
    if (StartSelfTest(DeviceHandle, id, facts, TSelfTestKind::Abort) != TSelfTestStart::Started) {
      row.Text = StartText(TSelfTestStart::Refused, facts, kindIndex);
      main.ShowSelfTestRow(row);
    }
  }
}

}  // namespace

TSelfTestRow IdleSelfTestRow() {
  TSelfTestRow row;
  row.ButtonCaption = kSelfTestCaption;
  return row;
}

bool SelfTestButtonEnabled(const TSelfTestRow& row, const TFormatPage& page) {
  return row.Running || page.Enabled[static_cast<int>(TFormatControl::btGetSmart)];
}

bool SelfTestFollowed() { return followed != nullptr; }

void StopFollowingSelfTest() {
  if (followed) followed->StopWaiting = true;
}

void SelfTestButtonClicked(TMainWindowView& main, int kindIndex) {
  if (followed) {
    followed->AbortAsked = true;
    return;
  }
  if (kindIndex < 0 || kindIndex >= static_cast<int>(kSelfTestKindCaptions.size())) return;
  if (DeviceHandle == kInvalidHandle || SelectedDevice < 0) return;
  const TIdentifyDeviceData id = DeviceTable[SelectedDevice].IdentifyData;
  TSelfTestRow row = IdleSelfTestRow();
  SetControlsEnabled(false);
  const TSelfTestFacts facts = ReadSelfTestFacts(DeviceHandle, id);
  const TSelfTestStart start = StartSelfTest(DeviceHandle, id, facts, kKinds[kindIndex]);
  const std::string refusal = StartText(start, facts, kindIndex);
  if (!refusal.empty()) {
    AddSmartLog(refusal);
    row.Text = refusal;
    main.ShowSelfTestRow(row);
    SetControlsEnabled(true);
    return;
  }
  const std::string opening =
      start == TSelfTestStart::AlreadyRunning
          ? kSelfTestAlreadyRunningText
          : std::string(kSelfTestKindCaptions[kindIndex]) + ": " + kSelfTestStartedText;
  AddSmartLog(opening);
  TSelfTestRow running = row;
  running.Running = true;
  running.ButtonCaption = kSelfTestAbortCaption;
  running.Text = opening;
  main.ShowSelfTestRow(running);

  TFollowed state;
  followed = &state;
  const TSelfTestWaitEnd end = Follow(main, id, kindIndex, state);
  followed = nullptr;
  if (end == TSelfTestWaitEnd::Ended) {
    const int first = ShownLines(Log_Smart);
    row.Text = WriteOutcome(id);
    main.ScrollReportTo(Log_Smart, first);
  } else {
    row.Text = end == TSelfTestWaitEnd::NoAnswer ? kSelfTestNoAnswerText : kSelfTestNotFollowedText;
    AddSmartLog(row.Text);
  }
  main.ShowSelfTestRow(row);
  SetControlsEnabled(true);
  // A close during the following was put off until now.
  if (CloseDeferredByFormat()) main.Close();
}

}  // namespace quarnel
