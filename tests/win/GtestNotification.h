// GoogleTest's Notification for the win32 thread model, whose libstdc++
// (GCC 12) has no std::mutex: included before GoogleTest's own headers.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify();
  void WaitForNotification();

 private:
  void* event_;
};

}  // namespace testing::internal
