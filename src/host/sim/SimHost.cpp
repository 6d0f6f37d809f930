#include "host/sim/SimHost.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "base/System.h"
#include "host/AtaRequests.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/WinLayouts.h"

namespace quarnel {

namespace {
const std::string kDrivePrefix = "\\\\.\\PhysicalDrive";
const std::string kVolumePrefix = "\\\\.\\";

uint32_t Reply(uint8_t* out, uint32_t outSize, const uint8_t* data, uint32_t size) {
  const uint32_t n = std::min(outSize, size);
  std::memcpy(out, data, n);
  return n;
}
}  // namespace

namespace {
int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

bool SimHost::Attached(const TSimDrive& drive) const {
  return !drive.AttachAfter || WallMs() - startMs_ >= *drive.AttachAfter * 1000;
}

bool SimHost::Detached(const TSimDrive& drive) const {
  return drive.DetachAfter && WallMs() - startMs_ >= *drive.DetachAfter * 1000;
}

// A drive pulled out fails as one that vanished mid-run: every request on
// its handles with 55, and it no longer opens. The readers of a read-back
// look at Vanished under the read lock.
void SimHost::FollowSchedule() {
  const int64_t now = WallMs() - startMs_;
  for (auto& [number, drive] : drives_) {
    if (!drive.Vanished && drive.DetachAfter && now >= *drive.DetachAfter * 1000) {
      TLock lock(readMutex_);
      drive.Vanished = true;
    }
  }
}

std::vector<int> SimHost::PresentNow() {
  FollowSchedule();
  std::vector<int> present;
  for (const auto& [number, drive] : drives_) {
    if (!drive.Vanished && Attached(drive)) present.push_back(number);
  }
  return present;
}

bool SimHost::ScheduleChanged() {
  std::vector<int> present = PresentNow();
  const bool changed = presentKnown_ && present != lastPresent_;
  lastPresent_ = std::move(present);
  presentKnown_ = true;
  return changed;
}

std::string SimHost::DrivePath(int n) {
  if (n < 0 || n > 255) return {};
  return kDrivePrefix + std::to_string(n);
}

TSimDrive* SimHost::Drive(int number) {
  auto it = drives_.find(number);
  return it == drives_.end() ? nullptr : &it->second;
}

SimHost::TOpen* SimHost::Find(THandle handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

bool SimHost::Refused(const TSimDrive& drive, const std::string& request) {
  auto it = drive.Refusals.find(request);
  if (it == drive.Refusals.end()) return false;
  lastError_ = it->second;
  return true;
}

// Windows sharing: a new open must allow the access of every existing open
// of the same object, and every existing open must allow the new access.
bool SimHost::SharingConflict(bool isVolume, int drive, size_t volume, uint32_t access,
                              uint32_t share) {
  auto needs = [](uint32_t acc) {
    uint32_t n = 0;
    if (acc & win::kGENERIC_READ) n |= win::kFILE_SHARE_READ;
    if (acc & win::kGENERIC_WRITE) n |= win::kFILE_SHARE_WRITE;
    return n;
  };
  for (const auto& [h, o] : handles_) {
    const bool same = o.IsVolume == isVolume && (isVolume ? o.Volume == volume : o.Drive == drive);
    if (!same) continue;
    if ((needs(access) & o.Share) != needs(access)) return true;
    if ((needs(o.Access) & share) != needs(o.Access)) return true;
  }
  return false;
}

THandle SimHost::CreateFileU8(const std::string& path, uint32_t access, uint32_t shareMode,
                              uint32_t disposition, uint32_t) {
  if (disposition != win::kOPEN_EXISTING) {
    lastError_ = win::kERROR_INVALID_PARAMETER;
    return kInvalidHandle;
  }
  TOpen open;
  open.Access = access;
  open.Share = shareMode;
  if (path.rfind(kDrivePrefix, 0) == 0) {
    const std::string digits = path.substr(kDrivePrefix.size());
    TSimDrive* drive = nullptr;
    if (!digits.empty() && digits.size() <= 3 &&
        std::all_of(digits.begin(), digits.end(), ::isdigit) &&
        (digits.size() == 1 || digits[0] != '0')) {
      drive = Drive(std::stoi(digits));
    }
    FollowSchedule();
    if (!drive || drive->Vanished || !Attached(*drive)) {
      lastError_ = win::kERROR_FILE_NOT_FOUND;
      return kInvalidHandle;
    }
    if (Refused(*drive, "open")) return kInvalidHandle;
    open.Drive = drive->Number;
  } else if (path.rfind(kVolumePrefix, 0) == 0) {
    const std::string root = path.substr(kVolumePrefix.size());
    auto it = std::find_if(volumes_.begin(), volumes_.end(),
                           [&](const TSimVolume& v) { return v.Root == root; });
    if (it == volumes_.end()) {
      lastError_ = win::kERROR_FILE_NOT_FOUND;
      return kInvalidHandle;
    }
    if (it->OpenFails || (it->ReadOpenFails && (access & win::kGENERIC_READ))) {
      lastError_ = win::kERROR_ACCESS_DENIED;
      return kInvalidHandle;
    }
    open.IsVolume = true;
    open.Volume = static_cast<size_t>(it - volumes_.begin());
  } else {
    lastError_ = win::kERROR_FILE_NOT_FOUND;
    return kInvalidHandle;
  }
  if (SharingConflict(open.IsVolume, open.Drive, open.Volume, access, shareMode)) {
    lastError_ = win::kERROR_SHARING_VIOLATION;
    return kInvalidHandle;
  }
  const THandle handle = nextHandle_++;
  handles_[handle] = open;
  if (!open.IsVolume) {
    TSimDrive& drive = *Drive(open.Drive);
    ++drive.Opens;
    if (drive.Swap && drive.Swap->AtOpen == drive.Opens) SwapDrive(drive);
  }
  lastError_ = 0;
  return handle;
}

bool SimHost::ClaimDrive(THandle handle, std::vector<std::string>* holders) {
  if (holders) holders->clear();
  TOpen* open = Find(handle);
  if (!open || open->IsVolume) return Fail(win::kERROR_INVALID_HANDLE);
  TSimDrive* drive = Drive(open->Drive);
  if (!drive || drive->Vanished) return Fail(win::kERROR_DEV_NOT_EXIST);
  if (!drive->ClaimHolders.empty()) {
    if (holders) *holders = drive->ClaimHolders;
    return Fail(win::kERROR_BUSY);
  }
  drive->Claimed = true;
  ++drive->Claims;
  if (drive->Swap && drive->Swap->AtClaim) SwapDrive(*drive);
  return Succeed();
}

void SimHost::SwapDrive(TSimDrive& d) {
  TSimSwap& s = *d.Swap;
  if (s.Done) return;
  s.Done = true;
  for (auto [text, given] :
       {std::pair{&d.Vendor, &s.Vendor}, std::pair{&d.Product, &s.Product},
        std::pair{&d.Revision, &s.Revision}, std::pair{&d.Serial, &s.Serial}}) {
    if (!given->has_value()) continue;
    *text = **given;
    d.DeviceDescriptor.clear();  // the texts speak now
  }
  if (s.Length) d.Length = *s.Length;
  if (s.DiskSequence) {
    d.DiskSequence = s.DiskSequence;
  } else if (d.DiskSequence) {
    ++*d.DiskSequence;
  }
}

void SimHost::ReleaseDrive(THandle handle) {
  TOpen* open = Find(handle);
  if (!open || open->IsVolume) return;
  if (TSimDrive* drive = Drive(open->Drive)) drive->Claimed = false;
}

bool SimHost::CloseHandle(THandle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(win::kERROR_INVALID_HANDLE);
  if (it->second.IsVolume) volumes_[it->second.Volume].Locked = false;
  if (!it->second.IsVolume) ReleaseDrive(handle);
  handles_.erase(it);
  return Succeed();
}

bool SimHost::DeviceIoControl(THandle handle, uint32_t code, const void* in, uint32_t inSize,
                              void* out, uint32_t outSize, uint32_t* bytesReturned) {
  *bytesReturned = 0;
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE);
  // The input may be the output area: work from a copy.
  std::vector<uint8_t> input(static_cast<const uint8_t*>(in),
                             static_cast<const uint8_t*>(in) + (in ? inSize : 0));
  auto* o = static_cast<uint8_t*>(out);
  if (!o) outSize = 0;
  if (open->IsVolume) return VolumeRequest(*open, code, o, outSize, bytesReturned);
  FollowSchedule();
  TSimDrive* drive = Drive(open->Drive);
  if (!drive || drive->Vanished) return Fail(win::kERROR_DEV_NOT_EXIST);
  return DriveRequest(*open, *drive, code, input.data(), static_cast<uint32_t>(input.size()), o,
                      outSize, bytesReturned);
}

bool SimHost::VolumeRequest(TOpen& open, uint32_t code, uint8_t* out, uint32_t outSize,
                            uint32_t* returned) {
  TSimVolume& vol = volumes_[open.Volume];
  switch (code) {
    case win::kIOCTL_STORAGE_GET_DEVICE_NUMBER: {
      if (vol.QueryFails) return Fail(win::kERROR_INVALID_FUNCTION);
      if (outSize < win::kSTORAGE_DEVICE_NUMBER_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
      PutU32(out, 0, vol.DeviceType);
      PutU32(out, 4, vol.DeviceNumber);
      PutU32(out, 8, vol.Partition);
      *returned = win::kSTORAGE_DEVICE_NUMBER_SIZE;
      return Succeed();
    }
    case win::kFSCTL_LOCK_VOLUME:
      if (vol.InUse || vol.Locked) return Fail(win::kERROR_ACCESS_DENIED);
      vol.Locked = true;
      return Succeed();
    case win::kFSCTL_DISMOUNT_VOLUME:
    case win::kFSCTL_ALLOW_EXTENDED_DASD_IO:
      return Succeed();
    default:
      return Fail(win::kERROR_INVALID_FUNCTION);
  }
}

bool SimHost::PropertyRequest(TSimDrive& d, const uint8_t* in, uint32_t inSize, uint8_t* out,
                              uint32_t outSize, uint32_t* returned) {
  if (inSize < 8) return Fail(win::kERROR_INVALID_PARAMETER);
  if (IsProtocolSpecificQuery(in, inSize))
    return NvmeRequest(d, in, inSize, out, outSize, returned);
  const uint32_t property = GetU32(in, 0);
  if (GetU32(in, 4) != win::kPropertyStandardQuery) return Fail(win::kERROR_INVALID_FUNCTION);
  if (property == win::kStorageAdapterProperty) {
    if (Refused(d, "adapter")) return false;
    const std::vector<uint8_t> a = BuildAdapterDescriptor(d.MaxTransfer, d.MaxTransfer / 4096 + 1,
                                                          1, static_cast<uint8_t>(d.BusType));
    *returned = Reply(out, outSize, a.data(), static_cast<uint32_t>(a.size()));
    return Succeed();
  }
  if (property != win::kStorageDeviceProperty) return Fail(win::kERROR_NOT_SUPPORTED);
  if (Refused(d, "device")) return false;
  if (!d.DeviceDescriptor.empty()) {
    *returned = Reply(out, outSize, d.DeviceDescriptor.data(),
                      static_cast<uint32_t>(d.DeviceDescriptor.size()));
    return Succeed();
  }
  const std::vector<uint8_t> desc = BuildDeviceDescriptor(
      {d.Vendor, d.Product, d.Revision, d.Serial, d.Removable, d.BusType}, d.SerialRaw);
  *returned = Reply(out, outSize, desc.data(), static_cast<uint32_t>(desc.size()));
  return Succeed();
}

bool SimHost::DriveRequest(TOpen&, TSimDrive& d, uint32_t code, const uint8_t* in, uint32_t inSize,
                           uint8_t* out, uint32_t outSize, uint32_t* returned) {
  switch (code) {
    case win::kIOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (Refused(d, "geometry")) return false;
      if (outSize < win::kDISK_GEOMETRY_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
      BuildDiskGeometry(out, d.Length, d.BytesPerSector, d.Removable);
      *returned = win::kDISK_GEOMETRY_SIZE;
      return Succeed();
    }
    case win::kIOCTL_DISK_GET_LENGTH_INFO: {
      if (Refused(d, "length")) return false;
      if (outSize < win::kGET_LENGTH_INFORMATION_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
      PutU64(out, 0, static_cast<uint64_t>(d.Length));
      *returned = win::kGET_LENGTH_INFORMATION_SIZE;
      return Succeed();
    }
    case win::kIOCTL_STORAGE_QUERY_PROPERTY:
      return PropertyRequest(d, in, inSize, out, outSize, returned);
    case win::kIOCTL_STORAGE_GET_DEVICE_NUMBER: {
      if (outSize < win::kSTORAGE_DEVICE_NUMBER_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
      PutU32(out, 0, win::kFILE_DEVICE_DISK);
      PutU32(out, 4, static_cast<uint32_t>(d.Number));
      PutU32(out, 8, 0xFFFFFFFFu);
      *returned = win::kSTORAGE_DEVICE_NUMBER_SIZE;
      return Succeed();
    }
    case win::kIOCTL_SCSI_GET_INQUIRY_DATA: {
      if (Refused(d, "inquiry")) return false;
      if (!d.ScsiTargetId) return Fail(win::kERROR_INVALID_FUNCTION);
      uint8_t r[60] = {};
      r[0] = 1;          // NumberOfBuses
      r[4] = 1;          // BusData[0].NumberOfLogicalUnits
      PutU32(r, 8, 12);  // BusData[0].InquiryDataOffset
      r[13] = static_cast<uint8_t>(*d.ScsiTargetId);
      PutU32(r, 16, 36);  // InquiryDataLength
      *returned = Reply(out, outSize, r, sizeof r);
      return Succeed();
    }
    case win::kIOCTL_DISK_UPDATE_PROPERTIES:
      ++d.LayoutRefreshes;
      return Succeed();
    case win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE:
      if (!d.DiskSequence) return Fail(win::kERROR_NOT_SUPPORTED);
      if (outSize < 8) return Fail(win::kERROR_INSUFFICIENT_BUFFER);
      PutU64(out, 0, *d.DiskSequence);
      *returned = 8;
      return Succeed();
    case win::kQUARNEL_IOCTL_NVME_ERASE:
      return EraseRequest(d, code, in, inSize, out, outSize, returned);
    case win::kQUARNEL_IOCTL_NVME_SELF_TEST:
      return NvmeSelfTestRequest(d, in, inSize, out, outSize, returned);
    case win::kSMART_GET_VERSION:
    case win::kSMART_SEND_DRIVE_COMMAND:
    case win::kSMART_RCV_DRIVE_DATA:
    case win::kIOCTL_SCSI_MINIPORT:
      return AtaRequest(d, code, in, inSize, out, outSize, returned);
    case win::kIOCTL_ATA_PASS_THROUGH:
      if (IsSanitizeRequest(in, inSize)) {
        return EraseRequest(d, code, in, inSize, out, outSize, returned);
      }
      return AtaPassThroughRequest(d, in, inSize, out, outSize, returned);
    default:
      return Fail(win::kERROR_INVALID_FUNCTION);
  }
}

bool SimHost::SetFilePointerEx(THandle handle, int64_t distance, int64_t* newPosition,
                               uint32_t moveMethod) {
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE);
  int64_t base = 0;
  if (moveMethod == 1) {
    base = open->Position;
  } else if (moveMethod == 2) {
    const TSimDrive* d = open->IsVolume ? nullptr : Drive(open->Drive);
    base = d ? d->Length : 0;
  } else if (moveMethod != win::kFILE_BEGIN) {
    return Fail(win::kERROR_INVALID_PARAMETER);
  }
  if (base + distance < 0) return Fail(131);  // ERROR_NEGATIVE_SEEK
  if (!open->IsVolume) {
    if (const TSimDrive* d = Drive(open->Drive)) {
      for (const TSimWriteFault& f : d->SeekErrors) {
        if (f.Offset == base + distance) return Fail(f.Code);
      }
    }
  }
  open->Position = base + distance;
  if (newPosition) *newPosition = open->Position;
  return Succeed();
}

bool SimHost::WriteFile(THandle handle, const void* buffer, uint32_t size, uint32_t* written) {
  *written = 0;
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE);
  if (!(open->Access & win::kGENERIC_WRITE)) return Fail(win::kERROR_ACCESS_DENIED);
  if (open->IsVolume) return Fail(win::kERROR_ACCESS_DENIED);
  FollowSchedule();
  TSimDrive* d = Drive(open->Drive);
  if (!d || d->Vanished) return Fail(win::kERROR_DEV_NOT_EXIST);
  const int64_t begin = open->Position;
  const int64_t end = begin + size;
  if (d->CrashAt && end > *d->CrashAt) EndProcessAsCrash();
  if (d->VanishAt && end > *d->VanishAt) {
    d->Vanished = true;
    return Fail(win::kERROR_DEV_NOT_EXIST);
  }
  if (d->BytesPerSector != 0 && (begin % d->BytesPerSector != 0 || size % d->BytesPerSector != 0)) {
    return Fail(win::kERROR_INVALID_PARAMETER);
  }
  if (end > d->Length) return Fail(27);  // ERROR_SECTOR_NOT_FOUND
  for (const TSimWriteFault& f : d->WriteErrors) {
    if (f.Offset >= begin && f.Offset < end) return Fail(f.Code);
  }
  uint32_t length = size;
  uint32_t shortCode = 0;
  for (const TSimWriteFault& f : d->ShortWrites) {
    // Bytes up to the first such offset land; the call reports success with
    // fewer bytes and leaves that fault's code as the last error.
    if (f.Offset >= begin && f.Offset < end && f.Offset - begin < length) {
      length = static_cast<uint32_t>(f.Offset - begin);
      shortCode = f.Code;
    }
  }
  if (!Store(*d, begin, buffer, length)) return Fail(win::kERROR_IO_DEVICE);
  if (d->WriteMBPerSecond > 0) {
    std::this_thread::sleep_for(
        std::chrono::duration<double>(length / (d->WriteMBPerSecond * 1e6)));
  }
  if (length > 0) d->Writes.emplace_back(begin, length);
  open->Position = begin + length;
  *written = length;
  lastError_ = shortCode;
  return true;
}

bool SimHost::FlushFileBuffers(THandle handle) {
  TOpen* open = Find(handle);
  if (!open) return Fail(win::kERROR_INVALID_HANDLE);
  if (open->IsVolume) return Succeed();
  FollowSchedule();
  TSimDrive* d = Drive(open->Drive);
  if (!d || d->Vanished) return Fail(win::kERROR_DEV_NOT_EXIST);
  if (Refused(*d, "flush")) return false;
  ++d->FlushCount;
  if (d->Swap && d->Swap->AtFlush) SwapDrive(*d);
  return Succeed();
}

uint32_t SimHost::GetLogicalDriveStringsU8(uint32_t capacity, char* buffer) {
  if (logicalDrivesFail_) {
    lastError_ = win::kERROR_INVALID_FUNCTION;
    return 0;
  }
  std::vector<std::string> roots;
  for (const TSimVolume& v : volumes_) roots.push_back(v.Root);
  const uint32_t length = WriteDriveStrings(roots, capacity, buffer);
  if (length < capacity) lastError_ = 0;
  return length;
}

std::string SimHost::ErrorText(uint32_t code) {
  static const std::map<uint32_t, const char*> kTexts = {
      {0, "The operation completed successfully."},
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {19, "The media is write protected."},
      {21, "The device is not ready."},
      {23, "Data error (cyclic redundancy check)."},
      {27, "The drive cannot find the sector requested."},
      {31, "A device attached to the system is not functioning."},
      {32, "The process cannot access the file because it is being used by another process."},
      {50, "The request is not supported."},
      {55, "The specified network resource or device is no longer available."},
      {87, "The parameter is incorrect."},
      {121, "The semaphore timeout period has expired."},
      {122, "The data area passed to a system call is too small."},
      {131, "An attempt was made to move the file pointer before the beginning of the file."},
      {170, "The requested resource is in use."},
      {1117, "The request could not be performed because of an I/O device error."},
  };
  auto it = kTexts.find(code);
  if (it != kTexts.end()) return it->second;
  return "Unknown error " + std::to_string(code) + ".";
}

}  // namespace quarnel
