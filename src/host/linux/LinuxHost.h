// The host of a Linux machine: Windows device requests answered by block
// devices, sysfs, SG_IO and the mount table (docs/linux-host.md).
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/Host.h"
#include "host/WinLayouts.h"
#include "host/linux/SgIo.h"

namespace quarnel {

/// One drive of the host: a whole-disk block device.
struct TLinuxDrive {
  std::string Path;  // the node the program opens ("/dev/sda")
  std::string Name;  // its name in /sys/block ("sda")
  dev_t Devno = 0;
  bool Gone = false;  // it went (RefreshDrives); its number is not given again
};

/// A mounted block-device filesystem as the mount table shows it.
struct TLinuxVolume {
  std::string Target, Source, FsType;
  std::string VfsOptions, FsOptions;  // the mount's own options, the filesystem's
  std::string Root;                   // the folder of the filesystem mounted there
  dev_t Devno = 0;
  int MountId = 0;         // the mount table's id: later mounts have higher ones
  int Drive = -1;          // index into the host's drives
  uint32_t Partition = 0;  // 0: a filesystem on the whole disk
  std::string Node;        // the block device node that is held while locked
};

// Pure pieces, exposed for the tests.
uint32_t Win32FromErrno(int error);
bool NaturalDiskLess(const std::string& a, const std::string& b);
/// Windows bus type from a disk's name and the resolved sysfs path of its block
/// directory; `sysRoot` prefixes the sysfs reads made for ATA links and MMC cards.
uint32_t BusTypeFromSysfs(const std::string& name, const std::string& devicePath,
                          const std::string& sysRoot = "");
TPlatformVersion PlatformFromUname(const std::string& sysname, const std::string& release,
                                   const std::string& machine);
bool IsWow64For(const std::string& machine, size_t pointerSize);
/// Serial from a VPD page 80h (4-byte header, then the text), trimmed.
std::string SerialFromVpd80(const uint8_t* page, size_t length);

/// Whole-disk block devices of /sys/block worth listing, in natural order.
std::vector<std::string> ListSysBlockDisks(const std::string& sysBlock = "/sys/block");
/// The drives there now among `nodes` (every disk of /sys/block when empty):
/// those that resolve, loop devices only with a file behind them.
std::vector<TLinuxDrive> PresentDrives(const std::vector<std::string>& nodes);
/// Whether one kernel uevent ("ACTION@DEVPATH\0KEY=VALUE\0...") says a whole
/// disk was added, removed or changed (LinuxDiskEvents.cpp).
bool IsDiskUevent(const char* data, size_t size);
/// Resolves a node to a drive; false with *error when it is no whole-disk block
/// device of its own (a partition, a device-mapper volume, an md array, anything
/// with devices below it, or a kind the scan skips). `sysRoot` prefixes sysfs.
bool DriveFromNode(const std::string& node, TLinuxDrive* drive, std::string* error,
                   const std::string& sysRoot = "");
/// Why the block device major:minor is no whole disk of its own, from sysfs
/// under `sysRoot`; empty when it is one. `needController`: it must also have
/// a device (a controller) behind it, as a command to the drive itself needs.
/// *diskName, when given, gets the disk's sysfs name on success.
std::string WholeDiskRefusal(const std::string& sysRoot, unsigned devMajor, unsigned devMinor,
                             bool needController, std::string* diskName = nullptr);
/// Mounted block-device filesystems that lie on the drives (libmount).
std::vector<TLinuxVolume> ListMountedVolumes(const std::vector<TLinuxDrive>& drives);
/// The folder a mount point covers, noted before the unmount.
struct TMountPlace {
  bool Known = false;
  dev_t Dev = 0;
  ino_t Ino = 0;
  std::string Why;  // why it is not known
};
/// Before a volume is unmounted: 0 when its mount point, reached without a
/// symbolic link, is that very mount, else the errno that refuses the lock;
/// *place gets the folder the mount covers (or why it cannot be told).
int PrepareUnmount(const TLinuxVolume& volume, TMountPlace* place);
/// Mounts a volume again with its old options, onto the folder `place` noted
/// and nowhere else: reached without a symbolic link and still that same
/// folder. False with *error ("left unmounted: ...") and *syscallErrno otherwise.
bool RemountVolume(const TLinuxVolume& volume, const TMountPlace& place, std::string* error,
                   int* syscallErrno = nullptr);
/// True when `path` lies beneath the mount point (not on it).
bool IsBeneath(const std::string& path, const std::string& mountPoint);
/// The mounts a lock of volume `devno` on `drive` takes down, deepest first:
/// every mount point of the volume and what that drive has mounted beneath them.
std::vector<TLinuxVolume> MountsToTakeDown(const std::vector<TLinuxVolume>& mounted, dev_t devno,
                                           int drive);
/// What holds a disk or its partitions, one English line each ("sdb2 is held
/// by dm-0", "sdb1 is active swap"), from the sysfs block folder and the text
/// of /proc/swaps.
std::vector<std::string> DriveHolders(const std::string& sysBlock, const std::string& disk,
                                      const std::string& procSwaps);

/// What SG_IO said of one command block.
struct TSgAnswer {
  int Errno = 0;  // of a failed ioctl: nothing else is then set
  uint8_t ScsiStatus = 0;
  uint16_t HostStatus = 0;
  uint16_t DriverStatus = 0;
  int Resid = 0;
  uint8_t Sense[64] = {};
  size_t SenseLength = 0;  // sb_len_wr
};
/// Sends one command block through SG_IO, `length` bytes from the device
/// into `data` (0: no data). Returns 0 when the device answered (what it
/// said is in *answer), else the Win32 code of the ioctl's errno
/// (answer->Errno); devices without SCSI pass-through give
/// ERROR_INVALID_FUNCTION.
uint32_t SgIo(int fd, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t length,
              uint32_t timeoutMs, TSgAnswer* answer);
/// One ATA command through SG_IO ATA PASS-THROUGH (16), every path's;
/// `data` takes 512 bytes of a data-in command. Returns 0 or the Win32 code
/// of the refusal (the ioctl's, or JudgeAtaResult's), with what came back
/// in *answer and, when given, the judgement and its sense in *outcome.
uint32_t SgAtaCommand(int fd, const TAtaTaskFile& command, bool dataIn, uint8_t* data,
                      uint32_t timeoutMs, TSgAnswer* answer, sgio::TAtaOutcome* outcome = nullptr);
/// A SMART_SEND/RCV or miniport IDENTIFY request as read from its input.
struct TAtaRequest {
  TAtaRegisters Registers;
  bool DataIn = false;
  bool Miniport = false;
  uint32_t TimeoutMs = 30000;
  uint32_t ReplySize = 0;         // 528 or 16; 24 for RETURN STATUS; 572 for the miniport (or less)
  bool ReturnsRegisters = false;  // SMART RETURN STATUS: the drive answers in its registers
};
/// Reads and checks a request: only IDENTIFY and the SMART features Windows
/// lets through, never SMART WRITE LOG. Returns 0 or the Win32 code of the refusal.
uint32_t ParseAtaRequest(uint32_t code, const uint8_t* in, uint32_t inSize, uint32_t outSize,
                         TAtaRequest* request);
/// Lays out the reply of a carried-out request around `data` (512 bytes of a
/// data-in command), or as Windows does for RETURN STATUS, the registers the
/// drive returned as IDEREGS in bBuffer; returns its length.
uint32_t BuildAtaReply(const TAtaRequest& request, const uint8_t* in, const uint8_t* data,
                       uint8_t* out, const TAtaRegisters& returned = {});
/// The registers a read-only query returned, from the sense data; false
/// when it cannot give them whole (a 48-bit answer in fixed format whose
/// high-order bytes are not all zero).
bool ReturnedRegisters(const TAtaPassThroughRequest& request, const sgio::TSense& sense,
                       TAtaTaskFile* returned);
/// Serial from VPD page 80h through SG_IO INQUIRY.
bool SgInquirySerial(int fd, std::string* serial);
/// Model, firmware and serial of an ATA drive from its IDENTIFY data.
void AtaTextsFromIdentify(int fd, TDeviceTexts* texts);
/// The character node of the NVMe controller behind a namespace's block
/// device ("/dev/nvme0"; the first controller of a multipath subsystem); empty
/// when there is none. `sysRoot` prefixes the sysfs reads.
std::string NvmeControllerNode(const std::string& blockName, const std::string& sysRoot = "");

class LinuxHost : public Host {
 public:
  /// `watched`: the nodes RefreshDrives looks at (empty: every disk of /sys/block).
  explicit LinuxHost(std::vector<TLinuxDrive> drives, std::vector<std::string> watched = {});
  ~LinuxHost() override;

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
  bool FlushFileBuffers(THandle handle) override;
  bool SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                        uint32_t moveMethod) override;
  uint32_t GetLastError() override { return lastError_; }
  std::string ErrorText(uint32_t code) override;
  uint32_t GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) override;
  TPlatformVersion GetVersion() override;
  bool IsWow64() override;
  bool ClaimDrive(THandle handle, std::vector<std::string>* holders) override;
  void ReleaseDrive(THandle handle) override;
  void Sleep(uint32_t milliseconds) override;
  void RefreshDrives() override;

  const std::vector<TLinuxDrive>& Drives() const { return drives_; }
  /// Why the last remounts on release failed; empty when they did not.
  const std::string& LastRemountError() const { return remountError_; }

 private:
  struct TOpen {
    bool IsVolume = false;
    int Drive = -1;
    int Fd = -1;
    uint32_t Access = 0;
    TLinuxVolume Volume;
    bool Unmounted = false;  // taken from its mount points by a lock or dismount
    bool Locked = false;
    int ClaimFd = -1;  // a drive's O_EXCL claim (ClaimDrive)
  };
  /// A mount point that a lock took down; given back by its owner's release
  /// when nothing was written to the drive since.
  struct TUnmounted {
    TLinuxVolume Entry;
    TMountPlace Place;
    THandle Owner = kInvalidHandle;
    uint64_t WritesAtUnmount = 0;
  };

  bool Fail(uint32_t code, int error = 0);
  bool FailErrno(int error) { return Fail(Win32FromErrno(error), error); }
  bool Succeed() {
    lastError_ = 0;
    lastErrno_ = 0;
    lastText_.clear();
    return true;
  }
  TOpen* Find(THandle handle);
  /// Why a read on `open` is refused before it reaches the drive, or 0.
  static uint32_t ReadRefusal(const TOpen* open);
  THandle Track(TOpen open);
  THandle OpenDrive(int drive, uint32_t access, uint32_t shareMode);
  THandle OpenVolume(const std::string& root);

  // LinuxDrives.cpp
  bool DriveRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                    uint32_t outSize, uint32_t* returned);
  bool DiskSequenceRequest(TOpen& open, uint8_t* out, uint32_t outSize, uint32_t* returned);
  bool PropertyRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                       uint32_t outSize, uint32_t* returned);
  TDeviceTexts ReadDeviceTexts(const TOpen& open);
  // LinuxAta.cpp
  bool AtaRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* returned);
  bool SmartVersion(TOpen& open, uint8_t* out, uint32_t outSize, uint32_t* returned);
  // LinuxErase.cpp: IOCTL_ATA_PASS_THROUGH and the NVMe erase request.
  bool EraseRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                    uint32_t outSize, uint32_t* returned);
  // LinuxPassThrough.cpp
  bool AtaPassThroughRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                             uint32_t outSize, uint32_t* returned);
  // LinuxNvme.cpp
  bool NvmeRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                   uint32_t* returned);
  bool NvmeSelfTestRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                           uint32_t outSize, uint32_t* returned);
  /// An admin command to the drive's controller: through its own node opened
  /// read-only, else through the namespace node. The ioctl's result, errno in *error.
  int NvmeAdmin(TOpen& open, void* command, int* error);
  // LinuxVolumes.cpp
  bool VolumeRequest(TOpen& open, THandle handle, uint32_t code, uint8_t* out, uint32_t outSize,
                     uint32_t* returned);
  bool Unmount(TOpen& open, THandle handle);
  bool ReleaseVolume(THandle handle, const TLinuxVolume& own);
  bool RereadLayout(TOpen& open);

  std::vector<TLinuxDrive> drives_;
  std::vector<std::string> watched_;
  std::map<THandle, TOpen> handles_;
  THandle nextHandle_ = 100;
  uint32_t lastError_ = 0;
  int lastErrno_ = 0;
  std::string lastText_;  // the host's own text for the last failure, when errno has none
  std::map<uint32_t, int> errnoOf_;  // Win32 code -> errno of its latest failure
  std::map<int, uint64_t> writes_;   // drive -> bytes written through this host
  std::vector<TUnmounted> unmounted_;
  std::string remountError_;
  uint8_t* bounce_ = nullptr;  // 4096-aligned buffer for O_DIRECT writes
  size_t bounceSize_ = 0;
};

}  // namespace quarnel
