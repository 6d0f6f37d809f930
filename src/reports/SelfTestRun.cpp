#include "reports/SelfTestRun.h"

#include "host/Host.h"

namespace quarnel {

TSelfTestWaitEnd WaitForSelfTestEnd(THandle handle, const TIdentifyDeviceData& id,
                                    const TSelfTestWaitHooks& hooks) {
  Host& host = GetHost();
  int64_t sleptMs = 0;
  int unanswered = 0;
  for (;;) {
    for (uint32_t waited = 0; waited < kSelfTestPollMs; waited += kSelfTestSleepStepMs) {
      if (hooks.StopWaiting && hooks.StopWaiting()) return TSelfTestWaitEnd::Stopped;
      host.Sleep(kSelfTestSleepStepMs);
      sleptMs += kSelfTestSleepStepMs;
      if (hooks.BetweenSteps) hooks.BetweenSteps();
    }
    TSelfTestProgress p;
    if (!ReadSelfTestProgress(handle, id, &p)) {
      if (++unanswered >= kSelfTestUnansweredPolls) return TSelfTestWaitEnd::NoAnswer;
      continue;
    }
    unanswered = 0;
    if (!p.Running) return TSelfTestWaitEnd::Ended;
    if (hooks.Progress) hooks.Progress(p, sleptMs);
  }
}

TSelfTestOutcome ReadSelfTestOutcome(THandle handle, const TIdentifyDeviceData& id) {
  TSelfTestOutcome o;
  o.Facts = ReadSelfTestFacts(handle, id);
  if (o.Facts.LogRead && !o.Facts.Log.empty()) {
    o.Source = TSelfTestOutcome::TSource::Log;
    o.Newest = o.Facts.Log.front();
  } else if (o.Facts.ProgressRead && !o.Facts.Nvme) {
    o.Source = TSelfTestOutcome::TSource::Status;
    o.Newest.Status = o.Facts.Progress.Last;
  }
  return o;
}

}  // namespace quarnel
