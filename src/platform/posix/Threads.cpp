// The core's threads on the standard library.
#include "base/Threads.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace quarnel {

struct TMutex::TImpl {
  std::mutex Mutex;
};

TMutex::TMutex() : impl_(std::make_unique<TImpl>()) {}
TMutex::~TMutex() = default;
void TMutex::Lock() { impl_->Mutex.lock(); }
void TMutex::Unlock() { impl_->Mutex.unlock(); }

struct TCondition::TImpl {
  std::condition_variable_any Condition;
};

TCondition::TCondition() : impl_(std::make_unique<TImpl>()) {}
TCondition::~TCondition() = default;

void TCondition::Wait(TLock& lock) {
  // The lock's own mutex, released and taken again by the wait.
  struct TLockable {
    TMutex& Mutex;
    void lock() { Mutex.Lock(); }
    void unlock() { Mutex.Unlock(); }
  } lockable{lock.Mutex()};
  impl_->Condition.wait(lockable);
}

void TCondition::NotifyOne() { impl_->Condition.notify_one(); }
void TCondition::NotifyAll() { impl_->Condition.notify_all(); }

struct TThread::TImpl {
  std::thread Thread;
};

TThread::TThread() : impl_(std::make_unique<TImpl>()) {}

TThread::~TThread() { Join(); }

std::unique_ptr<TThread> TThread::Start(std::function<void()> work) {
  std::unique_ptr<TThread> thread(new TThread());
  try {
    thread->impl_->Thread = std::thread(std::move(work));
  } catch (const std::system_error&) {
    return nullptr;
  }
  return thread;
}

void TThread::Join() {
  if (impl_->Thread.joinable()) impl_->Thread.join();
}

}  // namespace quarnel
