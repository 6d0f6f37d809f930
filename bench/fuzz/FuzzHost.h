// A host whose drive answers every device-control request from the fuzzer's
// bytes: whether it answers, how many bytes it says it returned (up to a
// little more than the buffer, as a faulty driver might), and the bytes.
// Whatever the reply leaves out keeps the request, as the shared buffer does.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/Host.h"

namespace quarnel {

class TFuzzHost : public Host {
 public:
  explicit TFuzzHost(FuzzedDataProvider& in) : in_(in) {}

  std::string DrivePath(int n) override { return n == 0 ? "\\\\.\\PhysicalDrive0" : ""; }
  THandle CreateFileU8(const std::string&, uint32_t, uint32_t, uint32_t, uint32_t) override {
    return 1;
  }
  bool CloseHandle(THandle) override { return true; }
  bool DeviceIoControl(THandle, uint32_t, const void*, uint32_t, void* out, uint32_t outSize,
                       uint32_t* bytesReturned) override {
    ++Requests;
    LastReply.clear();
    LastReturned = 0;
    if (!in_.ConsumeBool()) {
      lastError_ = 1117;  // ERROR_IO_DEVICE
      return false;
    }
    const std::vector<uint8_t> reply = in_.ConsumeBytes<uint8_t>(
        in_.ConsumeIntegralInRange<size_t>(0, std::min<size_t>(outSize, in_.remaining_bytes())));
    if (!reply.empty()) std::memcpy(out, reply.data(), reply.size());
    *bytesReturned = in_.ConsumeIntegralInRange<uint32_t>(0, outSize + 16);
    const auto* bytes = static_cast<const uint8_t*>(out);
    LastReply.assign(bytes, bytes + outSize);
    LastReturned = *bytesReturned;
    lastError_ = 0;
    return true;
  }
  bool WriteFile(THandle, const void*, uint32_t, uint32_t* written) override {
    *written = 0;
    return false;
  }
  bool ReadFile(THandle, void*, uint32_t, uint32_t* read) override {
    *read = 0;
    return false;
  }
  bool FlushFileBuffers(THandle) override { return true; }
  bool SetFilePointerEx(THandle, int64_t, int64_t*, uint32_t) override { return false; }
  uint32_t GetLastError() override { return lastError_; }
  std::string ErrorText(uint32_t code) override { return "error " + std::to_string(code); }
  uint32_t GetLogicalDriveStringsU8(uint32_t, char*) override { return 0; }
  TPlatformVersion GetVersion() override { return {2, 10, 0, 19045, ""}; }
  bool IsWow64() override { return true; }
  bool ClaimDrive(THandle, std::vector<std::string>*) override { return true; }
  void ReleaseDrive(THandle) override {}
  void Sleep(uint32_t) override {}

  int Requests = 0;
  std::vector<uint8_t> LastReply;  // the whole output buffer after the last answered request
  uint32_t LastReturned = 0;       // and the length it claimed

 private:
  FuzzedDataProvider& in_;
  uint32_t lastError_ = 0;
};

}  // namespace quarnel
