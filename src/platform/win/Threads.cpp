// The core's threads on Win32, down to Windows XP: threads from the C
// runtime's _beginthreadex, a critical section for the mutex, and a
// condition of per-waiter events (XP has no CONDITION_VARIABLE). Each waiter
// queues an event of its own, so a notification wakes a thread that was
// waiting when it was given, never one that came later.
#include "base/Threads.h"

#include <process.h>
#include <windows.h>

#include <deque>

namespace quarnel {

struct TMutex::TImpl {
  CRITICAL_SECTION Section;
};

TMutex::TMutex() : impl_(std::make_unique<TImpl>()) { InitializeCriticalSection(&impl_->Section); }
TMutex::~TMutex() { DeleteCriticalSection(&impl_->Section); }
void TMutex::Lock() { EnterCriticalSection(&impl_->Section); }
void TMutex::Unlock() { LeaveCriticalSection(&impl_->Section); }

struct TCondition::TImpl {
  CRITICAL_SECTION Section;  // guards Waiters
  std::deque<HANDLE> Waiters;
};

TCondition::TCondition() : impl_(std::make_unique<TImpl>()) {
  InitializeCriticalSection(&impl_->Section);
}

TCondition::~TCondition() { DeleteCriticalSection(&impl_->Section); }

void TCondition::Wait(TLock& lock) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event) {
    // No event to be had: yield and let the caller's predicate look again.
    lock.Unlock();
    Sleep(1);
    lock.Relock();
    return;
  }
  EnterCriticalSection(&impl_->Section);
  impl_->Waiters.push_back(event);
  LeaveCriticalSection(&impl_->Section);
  lock.Unlock();
  WaitForSingleObject(event, INFINITE);
  lock.Relock();
  CloseHandle(event);
}

void TCondition::NotifyOne() {
  EnterCriticalSection(&impl_->Section);
  if (!impl_->Waiters.empty()) {
    SetEvent(impl_->Waiters.front());
    impl_->Waiters.pop_front();
  }
  LeaveCriticalSection(&impl_->Section);
}

void TCondition::NotifyAll() {
  EnterCriticalSection(&impl_->Section);
  for (HANDLE event : impl_->Waiters) SetEvent(event);
  impl_->Waiters.clear();
  LeaveCriticalSection(&impl_->Section);
}

struct TThread::TImpl {
  HANDLE Thread = nullptr;
  std::function<void()> Work;
};

namespace {
unsigned __stdcall RunThread(void* impl) {
  static_cast<std::function<void()>*>(impl)->operator()();
  return 0;
}
}  // namespace

TThread::TThread() : impl_(std::make_unique<TImpl>()) {}

TThread::~TThread() { Join(); }

std::unique_ptr<TThread> TThread::Start(std::function<void()> work) {
  std::unique_ptr<TThread> thread(new TThread());
  thread->impl_->Work = std::move(work);
  const uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, &thread->impl_->Work, 0, nullptr);
  if (handle == 0) return nullptr;
  thread->impl_->Thread = reinterpret_cast<HANDLE>(handle);
  return thread;
}

void TThread::Join() {
  if (!impl_->Thread) return;
  WaitForSingleObject(impl_->Thread, INFINITE);
  CloseHandle(impl_->Thread);
  impl_->Thread = nullptr;
}

}  // namespace quarnel
