#include "batch/BatchEngine.h"

#include "frontend/HostChoice.h"

namespace quarnel {

TBatchEngine::TBatchEngine(std::string program, std::vector<TBatchMember> members, size_t jobs,
                           TBatchObserver& observer)
    : program_(std::move(program)),
      members_(std::move(members)),
      jobs_(jobs),
      observer_(observer) {}

// A run still going when its engine goes is stopped and waited for: no run
// outlives the program that watches it unseen.
TBatchEngine::~TBatchEngine() {
  for (TBatchMember& m : members_) {
    if (m.State == TBatchMember::TState::Running && m.Child) m.Child->Interrupt();
  }
}

bool TBatchEngine::Busy() const {
  for (const TBatchMember& m : members_) {
    if (m.State == TBatchMember::TState::Running) return true;
    if (m.State == TBatchMember::TState::Waiting && !stopping_ && !m.StopAsked) return true;
  }
  return false;
}

std::vector<TBatchRow> TBatchEngine::Rows() const {
  std::vector<TBatchRow> rows;
  for (const TBatchMember& m : members_) rows.push_back(m.Row);
  return rows;
}

size_t TBatchEngine::Add(TBatchMember member) {
  if (stopping_) member.StopAsked = true;
  members_.push_back(std::move(member));
  return members_.size() - 1;
}

void TBatchEngine::Start(size_t index) {
  TBatchMember& m = members_[index];
  if (m.Order.Simulate && m.Order.SimulateStartMs == 0) m.Order.SimulateStartMs = SimulatedStartMs();
  m.Child = std::make_unique<TChildProcess>();
  std::string error;
  if (program_.empty() || !m.Child->Start(program_, MemberArguments(m.Order), &error)) {
    m.Child.reset();
    m.State = TBatchMember::TState::Done;
    m.Row.Outcome = TRowOutcome::Refused;
    m.Row.ExitStatus = 1;
    observer_.MemberEnded(
        index, false, program_.empty() ? std::string("this program's file is not known") : error);
    return;
  }
  m.State = TBatchMember::TState::Running;
}

void TBatchEngine::Hear(size_t index) {
  TBatchMember& m = members_[index];
  TMemberEvent event;
  while (m.Stream.Next(&event)) {
    switch (event.Kind) {
      case TMemberEvent::TKind::Text:
        observer_.MemberLine(index, event.Text, event.Stray);
        break;
      case TMemberEvent::TKind::Progress:
        m.Progress = event.Progress;
        observer_.MemberProgress(index);
        break;
      case TMemberEvent::TKind::Outcome: {
        // The run's own word on its end; the drive's fields stay the
        // question's.
        const TBatchRow asked = m.Row;
        m.Row = event.Row;
        m.Row.Number = asked.Number;
        m.Row.Model = asked.Model;
        m.Row.Serial = asked.Serial;
        m.Row.Bus = asked.Bus;
        m.Row.Path = asked.Path;
        m.Row.Capacity = asked.Capacity;
        if (m.Row.Health == THealthVerdict::Unknown) m.Row.Health = asked.Health;
        m.Said = true;
        break;
      }
    }
  }
}

void TBatchEngine::Finish(size_t index) {
  TBatchMember& m = members_[index];
  m.Stream.End();
  Hear(index);
  m.ProcessStatus = m.Child ? m.Child->Wait() : -1;
  m.Child.reset();
  m.State = TBatchMember::TState::Done;
  if (!m.Said) {
    // No word from the run at its end: it ended before its record, or died.
    m.Row.ExitStatus = m.ProcessStatus;
    m.Row.Outcome = m.ProcessStatus < 0 || m.ProcessStatus >= 128 ? TRowOutcome::Crashed
                                                                  : TRowOutcome::Refused;
  }
  observer_.MemberEnded(index, true, {});
}

bool TBatchEngine::Poll() {
  size_t running = 0;
  for (const TBatchMember& m : members_) running += m.State == TBatchMember::TState::Running;
  const size_t limit = jobs_ > 0 ? jobs_ : members_.size();
  for (size_t i = 0; i < members_.size() && running < limit && !stopping_; ++i) {
    if (members_[i].State != TBatchMember::TState::Waiting || members_[i].StopAsked) continue;
    Start(i);
    running += members_[i].State == TBatchMember::TState::Running;
  }
  bool heard = false;
  for (size_t i = 0; i < members_.size(); ++i) {
    TBatchMember& m = members_[i];
    if (m.State != TBatchMember::TState::Running) continue;
    char buffer[16384];
    int64_t n;
    while ((n = m.Child->ReadAvailable(buffer, sizeof buffer)) > 0) {
      heard = true;
      m.Stream.Feed(buffer, static_cast<size_t>(n));
      Hear(i);
    }
    if (n < 0) {
      Finish(i);
      heard = true;
    }
  }
  return heard;
}

void TBatchEngine::Stop() {
  stopping_ = true;
  for (size_t i = 0; i < members_.size(); ++i) Stop(i);
}

void TBatchEngine::Stop(size_t index) {
  TBatchMember& m = members_[index];
  if (m.StopAsked) return;
  m.StopAsked = true;
  if (m.State == TBatchMember::TState::Running) m.Child->Interrupt();
}

}  // namespace quarnel
