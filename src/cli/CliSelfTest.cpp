// selftest DRIVE short|extended|conveyance|abort: starts the drive's own
// self-test (it changes nothing on the drive, so no confirmation), then
// waits for its end, drawing its progress on standard error as a format's
// progress line is drawn; Ctrl+C ends the wait, not the test.
#include <ostream>

#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "base/System.h"
#include "base/Text.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "host/Host.h"
#include "reports/SelfTest.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

constexpr uint32_t kPollMs = 1000;
constexpr uint32_t kSleepStepMs = 200;  // Ctrl+C is seen within this
constexpr int kUnansweredPolls = 5;

enum class TWaitEnd { Ended, Interrupted, NoAnswer };

// Polls about once a second until the drive says no test runs.
TWaitEnd WaitForEnd(const TIdentifyDeviceData& id, TSelfTestKind kind, const TCliUi& ui,
                    std::ostream& err) {
  Host& host = GetHost();
  int64_t sleptMs = 0;
  int unanswered = 0;
  int lastShown = -1;
  for (;;) {
    // A wait first: a drive may take a moment to show the test it began,
    // and the last test's status must not pass for this one's end.
    for (uint32_t waited = 0; waited < kPollMs; waited += kSleepStepMs) {
      if (TakeStopSignal()) return TWaitEnd::Interrupted;
      host.Sleep(kSleepStepMs);
      sleptMs += kSleepStepMs;
    }
    TSelfTestProgress p;
    if (!ReadSelfTestProgress(DeviceHandle, id, &p)) {
      if (++unanswered >= kUnansweredPolls) return TWaitEnd::NoAnswer;
    } else {
      unanswered = 0;
      if (!p.Running) break;
      const std::string text = std::string("self-test ") + SelfTestKindName(kind) + ": " +
                               DecText(p.RemainingPercent) + "% left   elapsed " +
                               ClockText(static_cast<double>(sleptMs / 1000));
      if (ui.ErrIsTerminal()) {
        err << "\r\033[K" << text << std::flush;
      } else if (p.RemainingPercent != lastShown) {
        // A log or a pipe: one line whenever the figure moves.
        err << text << "\n" << std::flush;
      }
      lastShown = p.RemainingPercent;
    }
  }
  if (ui.ErrIsTerminal() && lastShown >= 0) err << "\r\033[K" << std::flush;
  return TWaitEnd::Ended;
}

// The test's outcome from the newest log entry, or where the drive keeps
// no log (it could not be read), from the status the drive reports.
int ReportOutcome(const TIdentifyDeviceData& id, std::ostream& out) {
  const TSelfTestFacts f = ReadSelfTestFacts(DeviceHandle, id);
  TSelfTestEntry newest;
  if (f.LogRead && !f.Log.empty()) {
    newest = f.Log.front();
  } else if (f.ProgressRead && !f.Nvme) {
    newest.Status = f.Progress.Last;
    out << "The drive's self-test log could not be read; its status:\n";
  } else {
    out << "The self-test ended; the drive gave no result.\n";
    return kExitFailed;
  }
  out << "Self-test ended: " << SelfTestEntryText(newest) << "\n";
  if (newest.Status == TSelfTestStatus::Completed) return kExitComplete;
  if (SelfTestFailed(newest.Status)) return kExitFailed;
  return kExitAborted;
}

bool RefusedStart(TSelfTestStart start, const std::string& drive, const TSelfTestFacts& f,
                  TSelfTestKind kind, std::ostream& err) {
  switch (start) {
    case TSelfTestStart::Started:
      return false;
    case TSelfTestStart::NotOffered:
      err << "quarnel-cli: drive " << VisibleText(drive)
          << (f.Asked ? " offers no self-tests\n"
                      : " gave no SMART data (S.M.A.R.T. may be switched off in it); no "
                        "self-test was started\n");
      break;
    case TSelfTestStart::KindNotOffered:
      err << "quarnel-cli: drive " << VisibleText(drive) << " offers no " << SelfTestKindName(kind)
          << " self-test\n";
      break;
    case TSelfTestStart::AlreadyRunning:
      err << "quarnel-cli: a self-test already runs in drive " << VisibleText(drive)
          << "; \"selftest " << VisibleText(drive) << " abort\" stops it\n";
      break;
    case TSelfTestStart::Refused:
      err << "quarnel-cli: the self-test was refused: "
          << GetHost().ErrorText(GetHost().GetLastError()) << "\n";
      break;
  }
  return true;
}

int RunSelfTest(const std::string& drive, TSelfTestKind kind, TCliUi& ui, std::ostream& out,
                std::ostream& err) {
  const TIdentifyDeviceData& id = DeviceTable[SelectedDevice].IdentifyData;
  const TSelfTestFacts f = ReadSelfTestFacts(DeviceHandle, id);
  if (RefusedStart(StartSelfTest(DeviceHandle, id, f, kind), drive, f, kind, err)) {
    return kExitFailed;
  }
  if (kind == TSelfTestKind::Abort) {
    out << (f.ProgressRead && !f.Progress.Running ? "No self-test was running; the drive was "
                                                    "told to stop any.\n"
                                                  : "The self-test was stopped.\n");
    return kExitComplete;
  }
  out << "Self-test " << SelfTestKindName(kind) << " started";
  if (kind == TSelfTestKind::Short && f.ShortMinutes != 0) {
    out << " (the drive expects about " << f.ShortMinutes << " min)";
  } else if (kind == TSelfTestKind::Extended && f.ExtendedMinutes != 0) {
    out << " (the drive expects about " << f.ExtendedMinutes << " min)";
  }
  out << ".\n" << std::flush;
  CatchStopSignals(true);
  const TWaitEnd end = WaitForEnd(id, kind, ui, err);
  CatchStopSignals(false);
  if (end == TWaitEnd::Interrupted) {
    err << "\nStopped waiting. The self-test goes on in the drive; \"selftest "
        << VisibleText(drive) << " abort\" stops it.\n";
    return kExitInterrupted;
  }
  if (end == TWaitEnd::NoAnswer) {
    err << "\nquarnel-cli: the drive no longer answers; whether its self-test ended is not known\n";
    return kExitFailed;
  }
  return ReportOutcome(id, out);
}

}  // namespace

bool ParseSelfTestKind(const std::string& text, TSelfTestKind* kind) {
  for (TSelfTestKind k : {TSelfTestKind::Short, TSelfTestKind::Extended, TSelfTestKind::Conveyance,
                          TSelfTestKind::Abort}) {
    if (text == SelfTestKindName(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

int CommandSelfTest(const std::vector<std::string>& args, TCliUi& ui, std::ostream& out,
                    std::ostream& err) {
  TSelfTestKind kind = TSelfTestKind::Short;
  if (args.size() != 2 || !ParseSelfTestKind(args[1], &kind)) return kExitUsage;
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!SelectAndOpen({args[0]}, err)) return kExitFailed;
  const TSelectedDeviceCloser closer;
  return RunSelfTest(args[0], kind, ui, out, err);
}

}  // namespace quarnel
