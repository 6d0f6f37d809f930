// Following a self-test that was started, for every front end: polling the
// drive about once a second until it says no test runs, and the outcome
// from its log. A front end gives what it does between polls (the desktop
// handles its window messages, the terminal looks for Ctrl+C) and how it
// shows the progress.
#pragma once

#include <cstdint>
#include <functional>

#include "reports/SelfTest.h"

namespace quarnel {

inline constexpr uint32_t kSelfTestPollMs = 1000;
inline constexpr uint32_t kSelfTestSleepStepMs = 200;  // a stop is seen within this
inline constexpr int kSelfTestUnansweredPolls = 5;

struct TSelfTestWaitHooks {
  /// Asked before every step of the wait: true ends the wait (not the test).
  std::function<bool()> StopWaiting;
  /// Called after every step of the wait (the desktop's message pump).
  std::function<void()> BetweenSteps;
  /// Called with each answer while the test runs, and the time waited.
  std::function<void(const TSelfTestProgress&, int64_t elapsedMs)> Progress;
};

enum class TSelfTestWaitEnd { Ended, Stopped, NoAnswer };

/// Waits for the self-test in the drive to end. It waits before the first
/// poll: a drive may take a moment to show the test it began, and the last
/// test's status must not pass for this one's end. NoAnswer after
/// kSelfTestUnansweredPolls polls in a row without an answer.
TSelfTestWaitEnd WaitForSelfTestEnd(THandle handle, const TIdentifyDeviceData& id,
                                    const TSelfTestWaitHooks& hooks);

/// How a test that ended went: the newest log entry, or where the log
/// cannot be read, the status the ATA drive's data page reports.
struct TSelfTestOutcome {
  enum class TSource { Log, Status, None } Source = TSource::None;
  TSelfTestEntry Newest;
  TSelfTestFacts Facts;  // as read after the end, the log included
  bool Completed() const {
    return Source != TSource::None && Newest.Status == TSelfTestStatus::Completed;
  }
  bool Failed() const { return Source != TSource::None && SelfTestFailed(Newest.Status); }
};

TSelfTestOutcome ReadSelfTestOutcome(THandle handle, const TIdentifyDeviceData& id);

}  // namespace quarnel
