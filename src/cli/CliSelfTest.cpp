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
#include "reports/SelfTestRun.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// Polls until the drive says no test runs, drawing the progress.
TSelfTestWaitEnd WaitForEnd(const TIdentifyDeviceData& id, TSelfTestKind kind, const TCliUi& ui,
                            std::ostream& err) {
  int lastShown = -1;
  TSelfTestWaitHooks hooks;
  hooks.StopWaiting = [] { return TakeStopSignal(); };
  hooks.Progress = [&](const TSelfTestProgress& p, int64_t elapsedMs) {
    const std::string text = std::string("self-test ") + SelfTestKindName(kind) + ": " +
                             DecText(p.RemainingPercent) + "% left   elapsed " +
                             ClockText(static_cast<double>(elapsedMs / 1000));
    if (ui.ErrIsTerminal()) {
      err << "\r\033[K" << text << std::flush;
    } else if (p.RemainingPercent != lastShown) {
      // A log or a pipe: one line whenever the figure moves.
      err << text << "\n" << std::flush;
    }
    lastShown = p.RemainingPercent;
  };
  const TSelfTestWaitEnd end = WaitForSelfTestEnd(DeviceHandle, id, hooks);
  if (end == TSelfTestWaitEnd::Ended && ui.ErrIsTerminal() && lastShown >= 0) {
    err << "\r\033[K" << std::flush;
  }
  return end;
}

// The test's outcome from the newest log entry, or where the drive keeps
// no log (it could not be read), from the status the drive reports.
int ReportOutcome(const TIdentifyDeviceData& id, std::ostream& out) {
  const TSelfTestOutcome o = ReadSelfTestOutcome(DeviceHandle, id);
  if (o.Source == TSelfTestOutcome::TSource::None) {
    out << "The self-test ended; the drive gave no result.\n";
    return kExitFailed;
  }
  if (o.Source == TSelfTestOutcome::TSource::Status) {
    out << "The drive's self-test log could not be read; its status:\n";
  }
  out << "Self-test ended: " << SelfTestEntryText(o.Newest) << "\n";
  if (o.Completed()) return kExitComplete;
  if (o.Failed()) return kExitFailed;
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
  const TSelfTestWaitEnd end = WaitForEnd(id, kind, ui, err);
  CatchStopSignals(false);
  if (end == TSelfTestWaitEnd::Stopped) {
    err << "\nStopped waiting. The self-test goes on in the drive; \"selftest "
        << VisibleText(drive) << " abort\" stops it.\n";
    return kExitInterrupted;
  }
  if (end == TSelfTestWaitEnd::NoAnswer) {
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
