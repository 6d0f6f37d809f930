// A simulated machine described by a JSON file (see docs/simulation.md): its
// drives, volumes, platform and faults. Answers every request the program
// makes with the byte layouts of the Windows structures.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/Threads.h"
#include "host/Host.h"

namespace quarnel {

struct TSimVolume {
  std::string Root;  // "C:" form
  uint32_t DeviceType = 7;
  uint32_t DeviceNumber = 0;
  uint32_t Partition = 0;
  bool InUse = false;          // lock refused: a file is open on it
  bool QueryFails = false;     // storage device number refused
  bool OpenFails = false;      // the volume cannot be opened
  bool ReadOpenFails = false;  // only an open for reading (the lock's) is refused
  bool Locked = false;
};

struct TSimWriteFault {
  int64_t Offset = 0;
  uint32_t Code = 0;
};

/// One ATA request as the simulated drive received it (tests read the order).
struct TSimAtaCommand {
  uint32_t Request = 0;  // SMART_GET_VERSION, SMART_RCV/SEND, IOCTL_SCSI_MINIPORT
  uint32_t InSize = 0;
  uint32_t OutSize = 0;
  uint32_t BufferSize = 0;  // cBufferSize of the request block
  uint8_t Features = 0;
  uint8_t Command = 0;
  uint8_t DriveHead = 0;
  uint8_t DriveNumber = 0;
  bool Accepted = false;
};

/// A drive taken out and another put in at the same place (faults.swap):
/// the texts, length and disk sequence number given replace the old ones.
struct TSimSwap {
  int AtOpen = 0;        // as the drive is opened for the Nth time (0: never)
  bool AtClaim = false;  // as a format claims the drive
  bool AtFlush = false;  // as the run's flush reaches the drive, before any read-back
  std::optional<std::string> Vendor, Product, Revision, Serial;
  std::optional<int64_t> Length;
  std::optional<uint64_t> DiskSequence;  // without it, the old one plus one
  bool Done = false;
};

/// The drive's own erase as firmware_erase describes it (SimHostErase.cpp),
/// and the one it is running.
struct TSimFirmware {
  bool Configured = false;
  std::vector<std::string> Methods;  // "block", "crypto", "format-user", ...
  double Seconds = 10;               // simulated seconds an erase takes
  bool AllNamespaces = false;        // a format covers every namespace
  uint8_t Dlfeat = 1;                // NVMe: erased blocks read as zeros (1) or ones (2)
  std::optional<uint32_t> Refused;   // the command is refused: NVMe status, or ATA reason
  bool Failed = false;               // accepted, then ends in failure
  bool Frozen = false;               // ATA: sanitize frozen
  std::optional<double> StallAt;     // progress stops at this fraction, for ever
  bool NoChange = false;             // reports success but changes nothing
  // The run.
  std::string Running;  // the method being run; "" none
  int64_t StartMs = 0;
  int Outcome = 0;        // 0 none yet, 1 done, 3 failed (as SSTAT)
  int EraseCommands = 0;  // erase commands received (not status reads)
  bool Erased = false;    // the medium holds the erased pattern
  int ErasedFill = 0;     // 0x00, 0xFF, or -1 for a crypto erase's noise
};

/// What a drive hides above the sectors its IDENTIFY reports (the
/// "hidden_area" object of docs/simulation.md).
struct TSimHiddenArea {
  std::optional<int64_t> NativeMax;  // sectors; none: the IDENTIFY count
  std::optional<int64_t> DcoMax;     // sectors; none: the native maximum
  std::vector<uint8_t> DcoBlock;     // a raw DEVICE CONFIGURATION IDENTIFY reply, overriding
  bool NativeAborts = false;         // the native-maximum queries end with ERR/ABRT
  bool DcoAborts = false;            // DEVICE CONFIGURATION IDENTIFY does
};

/// The drive's self-tests as "self_test_seconds" and "self_test_result" give
/// them (SimHostSelfTest.cpp), the one running, and its log.
struct TSimSelfTest {
  double Seconds = 2;                  // simulated seconds a test takes
  uint8_t Result = 0;                  // how a test ends: an ATA status nibble (0: no error)
  std::optional<uint64_t> FailingLba;  // the sector a failing test stops at
  uint8_t Running = 0;                 // 1 short, 2 extended, 3 conveyance; 0 none
  int64_t StartMs = 0;
  uint8_t LastStatus = 0;  // ATA nibble of the last test to end
  struct TEntry {
    uint8_t Routine = 0;
    uint8_t Status = 0;     // ATA nibble
    uint8_t Remaining = 0;  // tens of percent left when it ended
    uint64_t Hours = 0;
    std::optional<uint64_t> Lba;
  };
  std::vector<TEntry> Log;  // oldest first
  int Commands = 0;         // self-test commands received, aborts too
};

/// Reads a drive's "self_test_seconds" and "self_test_result"; returns "" or
/// what is wrong with them.
std::string LoadSimSelfTest(const nlohmann::json& drive, TSimSelfTest& selfTest);

struct TSimDrive {
  int Number = 0;
  int64_t Length = 0;
  uint32_t BytesPerSector = 512;
  uint32_t BusType = 11;
  uint32_t MaxTransfer = 131072;
  std::string Vendor, Product, Revision, Serial;  // Latin-1 bytes
  bool SerialRaw = false;                         // serial bytes as given, not word-swapped
  bool Removable = false;
  std::vector<uint8_t> DeviceDescriptor;  // raw reply, overrides the texts
  std::vector<uint8_t> Identify;          // 512 bytes or empty
  std::vector<uint8_t> Smart;             // 512 bytes or empty
  std::vector<uint8_t> Thresholds;        // 512 bytes or empty
  std::vector<uint8_t> NvmeController;    // Identify Controller, 4096 bytes or empty
  std::vector<uint8_t> NvmeNamespace;     // Identify Namespace, 4096 bytes or empty
  std::vector<uint8_t> NvmeHealth;        // SMART / Health Information log, 512 bytes or empty
  TSimHiddenArea Hidden;
  bool SmartEnabled = true;
  bool SmartFailing = false;  // RETURN STATUS answers F4h/2Ch ("smart_return_status": "failed")
  bool IdeSlave = false;
  std::optional<uint32_t> ScsiTargetId;
  std::string ImagePath;
  double WriteMBPerSecond = 0;
  // Refusals: request name -> Win32 code ("open", "geometry", "length",
  // "adapter", "device", and the ATA ones of docs/simulation.md).
  std::map<std::string, uint32_t> Refusals;
  nlohmann::json Faults;                    // the whole "faults" object, for keys read elsewhere
  std::vector<TSimWriteFault> WriteErrors;  // a write covering the offset fails
  std::vector<TSimWriteFault> SeekErrors;   // a seek to exactly the offset fails
  std::vector<TSimWriteFault> ShortWrites;  // a write covering it stops there, "successfully"
  std::vector<TSimWriteFault> ReadErrors;   // a read covering the offset fails
  // Writes over these [begin, end) ranges report success but change nothing.
  std::vector<std::pair<int64_t, int64_t>> SilentLoss;
  std::vector<std::string> ClaimHolders;  // a claim is refused, these holding the drive
  bool Claimed = false;
  int Claims = 0;  // successful ClaimDrive calls
  int FlushCount = 0;
  int LayoutRefreshes = 0;  // IOCTL_DISK_UPDATE_PROPERTIES received
  std::optional<int64_t> VanishAt;
  // The schedule of a drive plugged in and pulled out: seconds after the
  // machine's start (attach_after_seconds, detach_after_seconds).
  std::optional<double> AttachAfter, DetachAfter;
  std::optional<int64_t> CrashAt;  // a write past it ends the whole process, as a crash does
  bool Vanished = false;
  std::optional<uint64_t> DiskSequence;  // none: the request is refused, as on Windows
  std::optional<TSimSwap> Swap;
  int Opens = 0;                                     // successful opens of the drive
  std::vector<std::pair<int64_t, int64_t>> Written;  // merged [begin, end) ranges
  std::vector<std::pair<int64_t, uint32_t>> Writes;  // every write that landed: offset, length
  std::vector<uint8_t> Commands;                     // ATA features/commands seen (tests)
  std::vector<TSimAtaCommand> AtaCommands;           // every ATA request, in order (tests)
  TSimFirmware Firmware;
  TSimSelfTest SelfTest;
};

/// Reads a drive's "firmware_erase" object into d.Firmware and marks the
/// methods in its IDENTIFY data; returns "" or what is wrong with it.
std::string LoadSimFirmwareErase(const nlohmann::json& j, TSimDrive& d);

/// Lays a drive's "wwn" (hexadecimal digits) into its blocks: 16 digits into
/// IDENTIFY words 108-111 with words 84 and 87 saying it is there, or into an
/// NVMe namespace's EUI64; 32 digits into its NGUID. Returns "" or what is wrong.
std::string SetSimWwn(const std::string& digits, TSimDrive& d);

/// What a crypto-erased simulated medium reads as at a byte offset.
uint8_t SimEraseNoise(int64_t offset);

/// False (with *error) when a simulated machine's file at `path` may not be
/// read: anything but a regular file (a FIFO would block, a device never
/// end), or one over `limit` bytes; otherwise its bytes in *data.
bool ReadSimFile(const std::string& path, size_t limit, std::vector<char>* data,
                 std::string* error);

/// True when `path` does not exist or is a regular file: what an image may be.
bool SimImageUsable(const std::string& path);

/// The demo machine's NVMe drive as the JSON object of one drive (SimDemoNvme.cpp).
std::string SimDemoNvmeDrive();

class SimHost : public Host {
 public:
  /// Reads a description; returns nullptr and sets *error when it is unusable.
  static std::unique_ptr<SimHost> FromFile(const std::string& path, std::string* error);
  static std::unique_ptr<SimHost> FromJson(const std::string& text, const std::string& baseDir,
                                           std::string* error);
  /// The built-in demo machine.
  static std::unique_ptr<SimHost> Demo();

  std::string DrivePath(int n) override;
  THandle CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                       uint32_t disposition, uint32_t flags) override;
  bool CloseHandle(THandle handle) override;
  bool DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* bytesReturned) override;
  bool WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) override;
  bool ReadFile(THandle handle, void* buffer, uint32_t size, uint32_t* read) override;
  bool ReadAt(THandle handle, void* buffer, uint32_t size, int64_t offset, uint32_t* read,
              uint32_t* error) override;
  int ConcurrentReads() override { return 2; }
  bool SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                        uint32_t moveMethod) override;
  bool FlushFileBuffers(THandle handle) override;
  uint32_t GetLastError() override { return lastError_; }
  std::string ErrorText(uint32_t code) override;
  uint32_t GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) override;
  TPlatformVersion GetVersion() override { return platform_; }
  bool IsWow64() override { return wow64_; }
  bool SetupApiPresent() override { return setupApi_; }
  bool ClaimDrive(THandle handle, std::vector<std::string>* holders) override;
  void ReleaseDrive(THandle handle) override;
  /// Simulated time: a wait passes at once but moves the drives' clock.
  void Sleep(uint32_t milliseconds) override { clockMs_ += milliseconds; }

  /// The wall-clock time (milliseconds since 1970) that the drives'
  /// attach_after_seconds and detach_after_seconds count from: the host's
  /// making, unless set (a batch's member takes its supervisor's).
  int64_t StartMs() const { return startMs_; }
  void SetStartMs(int64_t ms) { startMs_ = ms; }
  /// True when a drive was plugged in or pulled out by the schedule since the
  /// last call; never waits.
  bool ScheduleChanged();

  /// Inspection for tests.
  TSimDrive* Drive(int number);
  const std::vector<TSimVolume>& Volumes() const { return volumes_; }
  size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct TOpen {
    bool IsVolume = false;
    int Drive = -1;     // drive number
    size_t Volume = 0;  // index into volumes_
    uint32_t Access = 0;
    uint32_t Share = 0;
    int64_t Position = 0;
  };

  bool Fail(uint32_t code) {
    lastError_ = code;
    return false;
  }
  bool Succeed() {
    lastError_ = 0;
    return true;
  }
  TOpen* Find(THandle handle);
  /// Pulls out the drives whose detach time has come (they fail as vanished).
  void FollowSchedule();
  /// A drive with a time of attachment that has not come is not there yet.
  bool Attached(const TSimDrive& drive) const;
  /// Its time of removal has come (read without changing anything: lanes).
  bool Detached(const TSimDrive& drive) const;
  /// The drives there now, by the schedule.
  std::vector<int> PresentNow();
  uint32_t ReadMedium(const TOpen& open, void* buffer, uint32_t size, int64_t begin,
                      uint32_t* read);
  bool SharingConflict(bool isVolume, int drive, size_t volume, uint32_t access, uint32_t share);
  bool DriveRequest(TOpen& open, TSimDrive& drive, uint32_t code, const uint8_t* in,
                    uint32_t inSize, uint8_t* out, uint32_t outSize, uint32_t* returned);
  bool VolumeRequest(TOpen& open, uint32_t code, uint8_t* out, uint32_t outSize,
                     uint32_t* returned);
  bool PropertyRequest(TSimDrive& drive, const uint8_t* in, uint32_t inSize, uint8_t* out,
                       uint32_t outSize, uint32_t* returned);
  /// SMART_GET_VERSION, SMART_SEND/RCV_DRIVE_DATA, IOCTL_SCSI_MINIPORT (SimHostAta.cpp).
  bool AtaRequest(TSimDrive& drive, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* returned);
  bool SmartRequest(TSimDrive& drive, uint32_t code, const uint8_t* in, uint32_t inSize,
                    uint8_t* out, uint32_t outSize, uint32_t* returned, TSimAtaCommand& seen);
  bool MiniportRequest(TSimDrive& drive, const uint8_t* in, uint32_t inSize, uint8_t* out,
                       uint32_t outSize, uint32_t* returned, TSimAtaCommand& seen);
  /// IOCTL_ATA_PASS_THROUGH (SimHostPassThrough.cpp).
  bool AtaPassThroughRequest(TSimDrive& drive, const uint8_t* in, uint32_t inSize, uint8_t* out,
                             uint32_t outSize, uint32_t* returned);
  /// The protocol-specific storage query for NVMe data (SimHostNvme.cpp).
  bool NvmeRequest(TSimDrive& drive, const uint8_t* in, uint32_t inSize, uint8_t* out,
                   uint32_t outSize, uint32_t* returned);
  bool Refused(const TSimDrive& drive, const std::string& request);
  /// IOCTL_ATA_PASS_THROUGH (SANITIZE) and the NVMe erase request (SimHostErase.cpp).
  bool EraseRequest(TSimDrive& drive, uint32_t code, const uint8_t* in, uint32_t inSize,
                    uint8_t* out, uint32_t outSize, uint32_t* returned);
  /// The sanitize status log (81h) of the drive's run.
  void SanitizeLog(TSimDrive& drive, uint8_t* log);
  /// Moves the drive's run on to the clock: its progress of 65536, and its
  /// end (the medium erased) once the time has passed.
  uint32_t AdvanceErase(TSimDrive& drive);
  /// Self-tests (SimHostSelfTest.cpp): whether the drive offers them (its
  /// SMART page or Identify Controller says so), the ATA command, the NVMe
  /// request, the ATA log and SMART page as they stand now, the NVMe log.
  static bool SelfTestOffered(const TSimDrive& drive, bool nvme);
  bool AtaSelfTest(TSimDrive& drive, uint8_t subcommand);
  bool NvmeSelfTestRequest(TSimDrive& drive, const uint8_t* in, uint32_t inSize, uint8_t* out,
                           uint32_t outSize, uint32_t* returned);
  std::vector<uint8_t> AtaSelfTestLog(TSimDrive& drive);
  std::vector<uint8_t> SmartPageNow(TSimDrive& drive);
  void NvmeSelfTestLog(TSimDrive& drive, uint8_t* log);
  /// Ends the running test once its time has passed, into the log.
  void AdvanceSelfTest(TSimDrive& drive, bool nvme);
  /// Puts the other drive of faults.swap in place of `drive`, once.
  static void SwapDrive(TSimDrive& drive);
  /// Puts written bytes on the medium (SimHostMedium.cpp): the image if any,
  /// and the landed ranges, all but what silent_loss drops. False when the
  /// image cannot be written.
  bool Store(TSimDrive& drive, int64_t begin, const void* buffer, uint32_t length);

  std::map<int, TSimDrive> drives_;
  std::vector<TSimVolume> volumes_;
  std::map<THandle, TOpen> handles_;
  THandle nextHandle_ = 100;
  uint32_t lastError_ = 0;
  TMutex readMutex_;  // one ReadAt at a time
  int64_t clockMs_ = 0;
  int64_t startMs_ = 0;
  std::vector<int> lastPresent_;  // what ScheduleChanged saw last
  bool presentKnown_ = false;
  TPlatformVersion platform_{2, 6, 1, 7601, "Service Pack 1"};
  bool wow64_ = false;
  bool setupApi_ = true;
  bool logicalDrivesFail_ = false;

  friend class SimHostLoader;
};

}  // namespace quarnel
