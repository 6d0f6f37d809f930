// The one way to the machine: an interface shaped like the Windows device API.
// The core speaks Windows request codes, byte layouts and Win32 error codes to
// it; each implementation translates to its own machine. The operations carry
// the Win32 names, except where <windows.h> makes the name a macro
// (CreateFile, GetLogicalDriveStrings): those end in U8, for their UTF-8 texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quarnel {

using THandle = std::intptr_t;
inline constexpr THandle kInvalidHandle = -1;

struct TPlatformVersion {
  uint32_t PlatformId = 0;
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
  std::string ServicePack;
};

class Host {
 public:
  virtual ~Host() = default;

  /// Path of drive N (0..255); empty when the host has no such drive.
  virtual std::string DrivePath(int n) = 0;

  /// Opens a path (a drive path, or "\\.\" followed by a volume root).
  /// Returns kInvalidHandle on failure with the reason in GetLastError.
  virtual THandle CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                               uint32_t disposition, uint32_t flags) = 0;

  /// Closes a handle. Return false when it was not open.
  virtual bool CloseHandle(THandle handle) = 0;

  /// Synchronous device-control request. `in` may alias `out`. On success
  /// *bytesReturned holds the reply length. Return false on refusal.
  virtual bool DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize,
                               void* out, uint32_t outSize, uint32_t* bytesReturned) = 0;

  /// Synchronous write at the handle's position. Return false on failure;
  /// *written holds the bytes actually written either way.
  virtual bool WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) = 0;

  /// Synchronous read at the handle's position. Return false on failure;
  /// *read holds the bytes actually read either way (fewer at the end).
  virtual bool ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) = 0;

  /// Read of `size` bytes at `offset` that leaves the handle's position
  /// where it was: a failure's code goes to *error (0 on success), and *read
  /// holds the bytes read either way (fewer at the end). The buffer is
  /// aligned as ReadFile's must be on the same handle. The default seeks and
  /// reads; hosts that take concurrent reads touch no state of their own.
  virtual bool ReadAt(THandle handle, void* buffer, uint32_t size, int64_t offset,
                      uint32_t* read, uint32_t* error);

  /// How many ReadAt calls may run at once on threads of their own, beside
  /// the calling thread's other requests. 1: ReadAt is called from the
  /// calling thread alone.
  virtual int ConcurrentReads() { return 1; }

  /// Writes what the handle's device still caches to the medium (fsync on
  /// Linux). Return false on failure.
  virtual bool FlushFileBuffers(THandle handle) = 0;

  /// Moves the handle's position. Return false on failure.
  virtual bool SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                                uint32_t moveMethod) = 0;

  /// Win32 error code of the last call; 0 after a call that succeeded.
  virtual uint32_t GetLastError() = 0;

  /// The host's own message text for an error code.
  virtual std::string ErrorText(uint32_t code) = 0;

  /// Volume roots as GetLogicalDriveStringsW writes them: NUL-terminated
  /// roots ending with an empty one, at most `capacity` characters. Returns
  /// the length written, 0 on failure, or the length needed (> capacity)
  /// when the buffer is too small.
  virtual uint32_t GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) = 0;

  /// Version of the running system.
  virtual TPlatformVersion GetVersion() = 0;

  /// True when the system is a 64-bit one: a 32-bit program running on it,
  /// or any 64-bit program, which runs on nothing else.
  virtual bool IsWow64() = 0;

  /// True when the system's setup library loads with every entry point the
  /// start-up looks for; a system without such a library has none to miss.
  virtual bool SetupApiPresent() { return true; }

  /// Claims the drive of an open drive handle for this process alone, for an
  /// erase: while claimed nothing else can mount, map or swap on the drive or
  /// its partitions. Return false (ERROR_BUSY) when something holds the drive;
  /// *holders then gets one English line per holder found ("sdb2 is held by
  /// dm-0"). A host whose volume locks already keep others out claims nothing.
  virtual bool ClaimDrive(THandle handle, std::vector<std::string>* holders) = 0;

  /// Drops the claim of ClaimDrive; nothing when the drive is not claimed.
  virtual void ReleaseDrive(THandle handle) = 0;

  /// Waits the given number of milliseconds.
  virtual void Sleep(uint32_t milliseconds) = 0;

  /// Looks again at which drives the machine has (a disk came or went):
  /// DrivePath then names the drives there now. A drive that stays keeps its
  /// number; one that went leaves an empty path. Nothing for a host whose
  /// paths are always the machine's own.
  virtual void RefreshDrives() {}
};

/// The host of this process; set once at start (tests set their own).
Host& GetHost();
void SetHost(std::unique_ptr<Host> host);

/// The host's error text with trailing blanks, control characters and full
/// stops removed, as every message line shows it.
std::string SystemErrorText(uint32_t code);

}  // namespace quarnel
