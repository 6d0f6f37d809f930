// The host of a Windows machine: every operation is the Win32 call of the
// same name, texts converted between UTF-8 and UTF-16 at this boundary.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/Host.h"

namespace quarnel {

/// Checks a --devices list of Windows paths ("\\.\PhysicalDrive2", "\\.\X:").
/// False with *error naming the first item that is no such path or repeats one.
bool CheckWindowsDevicePaths(const std::vector<std::string>& paths, std::string* error);

class WinHost : public Host {
 public:
  /// `devices`: the drive paths in order (empty: \\.\PhysicalDrive0..255).
  /// With a list, drive N is its N-th path, and a volume's storage device
  /// number names the listed drive that holds it (see DeviceIoControl).
  explicit WinHost(std::vector<std::string> devices = {});

  std::string DrivePath(int n) override;
  THandle CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                       uint32_t disposition, uint32_t flags) override;
  bool CloseHandle(THandle handle) override;
  bool DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* bytesReturned) override;
  bool WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) override;
  bool ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) override;
  bool FlushFileBuffers(THandle handle) override;
  bool SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                        uint32_t moveMethod) override;
  uint32_t GetLastError() override;
  std::string ErrorText(uint32_t code) override;
  uint32_t GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) override;
  TPlatformVersion GetVersion() override;
  bool IsWow64() override;
  bool SetupApiPresent() override;
  /// Nothing to claim: the volume locks keep the file systems off the drive.
  bool ClaimDrive(THandle handle, std::vector<std::string>* holders) override;
  void ReleaseDrive(THandle handle) override;
  void Sleep(uint32_t milliseconds) override;

 private:
  /// Keeps the thread's error code of the call just made: console and C
  /// runtime calls between two host calls must not change what the core reads.
  bool Keep(bool ok);
  /// The hosts' NVMe erase request, carried by IOCTL_STORAGE_REINITIALIZE_MEDIA.
  bool NvmeErase(THandle handle, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned);
  /// The listed drive a volume lies on, from its own path or the system's
  /// number of its disk; kNotListed when it is on none of them.
  uint32_t ListedDriveOf(const std::string& volumePath, uint32_t systemNumber) const;

  std::vector<std::string> devices_;
  std::map<THandle, std::string> paths_;  // open handles of a --devices run
  uint32_t lastError_ = 0;
};

}  // namespace quarnel
