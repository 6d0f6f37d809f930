// Threads, a mutex and a condition for the core. The standard library's on
// most systems; Win32's own on Windows, whose build takes mingw-w64's win32
// thread model (to run on XP) and so has no std::thread or std::mutex. The
// implementations live in src/platform.
#pragma once

#include <functional>
#include <memory>

namespace quarnel {

class TMutex {
 public:
  TMutex();
  ~TMutex();
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;
  void Lock();
  void Unlock();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

/// Holds a mutex from construction to destruction (or to Unlock).
class TLock {
 public:
  explicit TLock(TMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~TLock() {
    if (held_) mutex_.Unlock();
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  void Unlock() {
    mutex_.Unlock();
    held_ = false;
  }
  void Relock() {
    mutex_.Lock();
    held_ = true;
  }
  TMutex& Mutex() { return mutex_; }

 private:
  TMutex& mutex_;
  bool held_ = true;
};

/// A condition to wait on under a held TLock. Wakes may be spurious: wait
/// with a predicate.
class TCondition {
 public:
  TCondition();
  ~TCondition();
  TCondition(const TCondition&) = delete;
  TCondition& operator=(const TCondition&) = delete;
  /// Releases the lock, waits for a notification and takes the lock again.
  void Wait(TLock& lock);
  template <typename Predicate>
  void Wait(TLock& lock, Predicate ready) {
    while (!ready()) Wait(lock);
  }
  void NotifyOne();
  void NotifyAll();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

/// A thread running one function; joined at the latest by its destructor.
class TThread {
 public:
  /// Starts `work` on a new thread; null when the system gives none.
  static std::unique_ptr<TThread> Start(std::function<void()> work);
  ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  /// Waits until the function has returned.
  void Join();

 private:
  TThread();
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace quarnel
