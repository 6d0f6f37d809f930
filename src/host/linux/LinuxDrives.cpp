// LinuxHost drives: enumeration from sysfs, and the drive requests (geometry,
// length, storage properties, device number, layout refresh).
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/AtaRequests.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {

namespace fs = std::filesystem;

#ifndef BLKGETDISKSEQ
#define BLKGETDISKSEQ _IOR(0x12, 128, __u64)  // Linux 5.15; older headers lack it
#endif

namespace {

constexpr uint32_t kBusScsi = 1, kBusAta = 3, kBusUsb = 7, kBusIscsi = 9, kBusSas = 10,
                   kBusSata = 11, kBusSd = 12, kBusMmc = 13, kBusVirtual = 14, kBusFileBacked = 15,
                   kBusNvme = 17;

std::string Trimmed(std::string text) {
  auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\0' || c == '\r'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

std::string ReadSys(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Trimmed(text);
}

std::vector<uint8_t> ReadSysBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Name tokens: the device-type prefix, then runs of letters and of digits.
// The letters after "sd", "hd", "vd" and "xvd" count up like numbers (sdz, sdaa).
struct TToken {
  bool Digits = false;
  bool Counter = false;
  std::string Text;
};

std::vector<TToken> Tokens(const std::string& name) {
  std::vector<TToken> tokens;
  size_t at = 0;
  bool counter = false;
  for (const char* prefix : {"xvd", "sd", "hd", "vd"}) {
    if (StartsWith(name, prefix)) {
      tokens.push_back({false, false, prefix});
      at = std::strlen(prefix);
      counter = true;
      break;
    }
  }
  while (at < name.size()) {
    const bool digits = std::isdigit(static_cast<unsigned char>(name[at])) != 0;
    size_t end = at;
    while (end < name.size() &&
           (std::isdigit(static_cast<unsigned char>(name[end])) != 0) == digits) {
      ++end;
    }
    tokens.push_back({digits, counter && !digits, name.substr(at, end - at)});
    counter = false;
    at = end;
  }
  return tokens;
}

int CompareTokens(const TToken& a, const TToken& b) {
  if (a.Digits != b.Digits) return a.Digits ? -1 : 1;
  if (a.Digits || (a.Counter && b.Counter)) {
    std::string x = a.Text, y = b.Text;
    if (a.Digits) {
      x.erase(0, std::min(x.find_first_not_of('0'), x.size() - 1));
      y.erase(0, std::min(y.find_first_not_of('0'), y.size() - 1));
    }
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
  }
  return a.Text.compare(b.Text);
}

uint32_t AtaBusType(const std::string& devicePath, const std::string& sysRoot) {
  // ".../ataN/host..." : a SATA link reports its speed, a parallel port does not.
  const size_t at = devicePath.find("/ata");
  size_t end = at + 4;
  while (end < devicePath.size() && std::isdigit(static_cast<unsigned char>(devicePath[end])))
    ++end;
  const std::string port = devicePath.substr(at + 4, end - at - 4);
  const std::string speed = ReadSys(sysRoot + "/sys/class/ata_link/link" + port + "/sata_spd");
  if (!speed.empty() && !std::isdigit(static_cast<unsigned char>(speed[0]))) return kBusAta;
  return kBusSata;
}

bool HasAtaPort(const std::string& devicePath) {
  const size_t at = devicePath.find("/ata");
  return at != std::string::npos && at + 4 < devicePath.size() &&
         std::isdigit(static_cast<unsigned char>(devicePath[at + 4]));
}

}  // namespace

bool NaturalDiskLess(const std::string& a, const std::string& b) {
  const std::vector<TToken> x = Tokens(a), y = Tokens(b);
  for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
    const int c = CompareTokens(x[i], y[i]);
    if (c != 0) return c < 0;
  }
  return x.size() < y.size();
}

uint32_t BusTypeFromSysfs(const std::string& name, const std::string& devicePath,
                          const std::string& sysRoot) {
  if (StartsWith(name, "loop")) return kBusFileBacked;
  if (StartsWith(name, "nvme") || devicePath.find("/nvme") != std::string::npos) return kBusNvme;
  if (devicePath.find("/usb") != std::string::npos) return kBusUsb;
  if (StartsWith(name, "mmcblk")) {
    return ReadSys(sysRoot + devicePath + "/device/type") == "MMC" ? kBusMmc : kBusSd;
  }
  if (HasAtaPort(devicePath)) return AtaBusType(devicePath, sysRoot);
  if (devicePath.find("/end_device-") != std::string::npos) return kBusSas;
  if (devicePath.find("/session") != std::string::npos) return kBusIscsi;
  if (devicePath.find("/host") != std::string::npos) return kBusScsi;
  if (StartsWith(name, "vd") || devicePath.find("/virtio") != std::string::npos) return kBusVirtual;
  if (StartsWith(name, "xvd")) return kBusVirtual;
  return 0;
}

std::string SerialFromVpd80(const uint8_t* page, size_t length) {
  if (length < 4 || page[1] != 0x80) return {};
  const size_t size = std::min<size_t>(length - 4, (size_t{page[2]} << 8) | page[3]);
  return Trimmed(std::string(reinterpret_cast<const char*>(page + 4), size));
}

namespace {

// Block devices that are no drive of their own: RAM disks, mappings and
// arrays over other devices, optical and floppy drives.
bool SkippedName(const std::string& name) {
  for (const char* prefix : {"ram", "zram", "dm-", "md", "sr", "fd"}) {
    if (StartsWith(name, prefix)) return true;
  }
  return false;
}

bool HasEntries(const fs::path& folder) {
  std::error_code ec;
  return fs::directory_iterator(folder, ec) != fs::directory_iterator();
}

// A device-mapper volume (LVM, LUKS, ...) or an md array passes requests on
// to the disks below it: a command meant for it would reach them whole.
bool IsMappingOrSkipped(const fs::path& sysDir, const std::string& name) {
  return SkippedName(name) || fs::exists(sysDir / "dm") || fs::exists(sysDir / "md") ||
         HasEntries(sysDir / "slaves");
}

}  // namespace

std::string WholeDiskRefusal(const std::string& sysRoot, unsigned devMajor, unsigned devMinor,
                             bool needController, std::string* diskName) {
  const std::string sys =
      sysRoot + "/sys/dev/block/" + std::to_string(devMajor) + ":" + std::to_string(devMinor);
  std::error_code ec;
  const fs::path real = fs::canonical(sys, ec);
  const std::string name = ec ? std::string() : real.filename().string();
  if (name.empty()) return "the kernel lists no block device " + sys.substr(sysRoot.size());
  if (fs::exists(real / "partition")) return "it is a partition (" + name + ")";
  if (!fs::exists(sysRoot + "/sys/block/" + name)) return name + " is not a whole disk";
  if (IsMappingOrSkipped(real, name)) return name + " is a mapping over other devices";
  if (needController && !fs::exists(real / "device")) {
    return name + " has no controller behind it";
  }
  if (diskName) *diskName = name;
  return {};
}

std::vector<std::string> ListSysBlockDisks(const std::string& sysBlock) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysBlock, ec)) {
    const std::string name = entry.path().filename().string();
    bool skip = IsMappingOrSkipped(entry.path(), name);
    // An unbound loop device has no medium worth listing.
    if (StartsWith(name, "loop") && !fs::exists(entry.path() / "loop" / "backing_file"))
      skip = true;
    if (!skip) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalDiskLess);
  return names;
}

bool DriveFromNode(const std::string& node, TLinuxDrive* drive, std::string* error,
                   const std::string& sysRoot) {
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0) {
    *error = node + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISBLK(st.st_mode)) {
    *error = node + " is not a block device";
    return false;
  }
  std::string name;
  const std::string why =
      WholeDiskRefusal(sysRoot, major(st.st_rdev), minor(st.st_rdev), false, &name);
  if (!why.empty()) {
    *error =
        node +
        " is not a whole-disk block device (a partition or a mapping); give the disk's node (" +
        why + ")";
    return false;
  }
  drive->Path = node;
  drive->Name = name;
  drive->Devno = st.st_rdev;
  return true;
}

TDeviceTexts LinuxHost::ReadDeviceTexts(const TOpen& open) {
  const TLinuxDrive& d = drives_[static_cast<size_t>(open.Drive)];
  const std::string base = "/sys/block/" + d.Name;
  std::error_code ec;
  const std::string path = fs::canonical(base, ec).string();
  TDeviceTexts t;
  t.BusType = BusTypeFromSysfs(d.Name, path);
  t.Removable = ReadSys(base + "/removable") == "1";
  if (t.BusType == kBusFileBacked) {
    t.Vendor = "Linux";
    t.Product = "Loop device";
    return t;
  }
  if (StartsWith(d.Name, "nvme") || StartsWith(d.Name, "mmcblk")) {
    t.Product = ReadSys(base + "/device/" + (StartsWith(d.Name, "nvme") ? "model" : "name"));
    t.Revision =
        ReadSys(base + "/device/" + (StartsWith(d.Name, "nvme") ? "firmware_rev" : "fwrev"));
    t.Serial = ReadSys(base + "/device/serial");
    return t;
  }
  if (t.BusType == kBusVirtual) {
    t.Product = "Virtual disk";
    t.Serial = ReadSys(base + "/serial");
    return t;
  }
  t.Vendor = ReadSys(base + "/device/vendor");
  t.Product = ReadSys(base + "/device/model");
  t.Revision = ReadSys(base + "/device/rev");
  const std::vector<uint8_t> vpd = ReadSysBytes(base + "/device/vpd_pg80");
  t.Serial = SerialFromVpd80(vpd.data(), vpd.size());
  if (t.Serial.empty()) SgInquirySerial(open.Fd, &t.Serial);
  if (t.BusType == kBusAta || t.BusType == kBusSata || t.Vendor == "ATA") {
    // The SCSI layer cuts an ATA model to 16 characters; IDENTIFY has it whole.
    AtaTextsFromIdentify(open.Fd, &t);
  }
  return t;
}

bool LinuxHost::PropertyRequest(TOpen& open, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                uint32_t outSize, uint32_t* returned) {
  if (inSize < 8) return Fail(win::kERROR_INVALID_PARAMETER, EINVAL);
  if (IsProtocolSpecificQuery(in, inSize))
    return NvmeRequest(open, in, inSize, out, outSize, returned);
  const uint32_t property = GetU32(in, 0);
  if (GetU32(in, 4) != win::kPropertyStandardQuery)
    return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  std::vector<uint8_t> reply;
  const TLinuxDrive& d = drives_[static_cast<size_t>(open.Drive)];
  const std::string queue = "/sys/block/" + d.Name + "/queue/";
  if (property == win::kStorageAdapterProperty) {
    std::error_code ec;
    const uint32_t kb = static_cast<uint32_t>(
        std::strtoul(ReadSys(queue + "max_hw_sectors_kb").c_str(), nullptr, 10));
    const uint32_t segments =
        static_cast<uint32_t>(std::strtoul(ReadSys(queue + "max_segments").c_str(), nullptr, 10));
    const uint32_t alignment =
        static_cast<uint32_t>(std::strtoul(ReadSys(queue + "dma_alignment").c_str(), nullptr, 10));
    reply =
        BuildAdapterDescriptor(kb * 1024, segments, alignment,
                               static_cast<uint8_t>(BusTypeFromSysfs(
                                   d.Name, fs::canonical("/sys/block/" + d.Name, ec).string())));
  } else if (property == win::kStorageDeviceProperty) {
    reply = BuildDeviceDescriptor(ReadDeviceTexts(open));
  } else {
    return Fail(win::kERROR_NOT_SUPPORTED, EOPNOTSUPP);
  }
  const uint32_t n = std::min(outSize, static_cast<uint32_t>(reply.size()));
  std::memcpy(out, reply.data(), n);
  *returned = n;
  return Succeed();
}

// The kernel's disk sequence number of the device behind the descriptor: the
// ioctl, else sysfs of the descriptor's own device number (never of a name,
// which may stand for another device by now).
bool LinuxHost::DiskSequenceRequest(TOpen& open, uint8_t* out, uint32_t outSize,
                                    uint32_t* returned) {
  if (outSize < 8) return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
  uint64_t sequence = 0;
  if (::ioctl(open.Fd, BLKGETDISKSEQ, &sequence) != 0) {
    struct stat st {};
    if (::fstat(open.Fd, &st) != 0 || !S_ISBLK(st.st_mode))
      return Fail(win::kERROR_NOT_SUPPORTED, EOPNOTSUPP);
    const std::string text = ReadSys("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                     std::to_string(minor(st.st_rdev)) + "/diskseq");
    char* end = nullptr;
    sequence = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || sequence == 0)
      return Fail(win::kERROR_NOT_SUPPORTED, EOPNOTSUPP);
  }
  PutU64(out, 0, sequence);
  *returned = 8;
  return Succeed();
}

bool LinuxHost::DriveRequest(TOpen& open, uint32_t code, const uint8_t* in, uint32_t inSize,
                             uint8_t* out, uint32_t outSize, uint32_t* returned) {
  switch (code) {
    case win::kIOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (outSize < win::kDISK_GEOMETRY_SIZE) return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
      int sector = 0;
      uint64_t length = 0;
      if (::ioctl(open.Fd, BLKSSZGET, &sector) != 0) return FailErrno(errno);
      if (::ioctl(open.Fd, BLKGETSIZE64, &length) != 0) return FailErrno(errno);
      const bool removable = ReadSys("/sys/block/" + drives_[static_cast<size_t>(open.Drive)].Name +
                                     "/removable") == "1";
      BuildDiskGeometry(out, static_cast<int64_t>(length), static_cast<uint32_t>(sector),
                        removable);
      *returned = win::kDISK_GEOMETRY_SIZE;
      return Succeed();
    }
    case win::kIOCTL_DISK_GET_LENGTH_INFO: {
      if (outSize < win::kGET_LENGTH_INFORMATION_SIZE)
        return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
      uint64_t length = 0;
      if (::ioctl(open.Fd, BLKGETSIZE64, &length) != 0) return FailErrno(errno);
      PutU64(out, 0, length);
      *returned = win::kGET_LENGTH_INFORMATION_SIZE;
      return Succeed();
    }
    case win::kIOCTL_STORAGE_QUERY_PROPERTY:
      return PropertyRequest(open, in, inSize, out, outSize, returned);
    case win::kIOCTL_STORAGE_GET_DEVICE_NUMBER:
      if (outSize < win::kSTORAGE_DEVICE_NUMBER_SIZE)
        return Fail(win::kERROR_INSUFFICIENT_BUFFER, EINVAL);
      PutU32(out, 0, win::kFILE_DEVICE_DISK);
      PutU32(out, 4, static_cast<uint32_t>(open.Drive));
      PutU32(out, 8, 0xFFFFFFFFu);
      *returned = win::kSTORAGE_DEVICE_NUMBER_SIZE;
      return Succeed();
    case win::kIOCTL_DISK_UPDATE_PROPERTIES:
      return RereadLayout(open);
    case win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE:
      return DiskSequenceRequest(open, out, outSize, returned);
    case win::kQUARNEL_IOCTL_NVME_ERASE:
      return EraseRequest(open, code, in, inSize, out, outSize, returned);
    case win::kQUARNEL_IOCTL_NVME_SELF_TEST:
      return NvmeSelfTestRequest(open, in, inSize, out, outSize, returned);
    case win::kSMART_GET_VERSION:
    case win::kSMART_SEND_DRIVE_COMMAND:
    case win::kSMART_RCV_DRIVE_DATA:
    case win::kIOCTL_SCSI_MINIPORT:
      return AtaRequest(open, code, in, inSize, out, outSize, returned);
    case win::kIOCTL_ATA_PASS_THROUGH:
      if (IsSanitizeRequest(in, inSize)) {
        return EraseRequest(open, code, in, inSize, out, outSize, returned);
      }
      return AtaPassThroughRequest(open, in, inSize, out, outSize, returned);
    default:
      return Fail(win::kERROR_INVALID_FUNCTION, ENOTTY);
  }
}

}  // namespace quarnel
