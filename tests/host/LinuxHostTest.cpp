// LinuxHost pieces that need no device: naming order, bus types, descriptor
// layout, errno mapping, the platform line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "ata/Identification.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/linux/LinuxHost.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;

// A fake sysfs tree in a temporary folder.
class TempDir {
 public:
  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories(fs::path(Path() + relative).parent_path());
    std::ofstream(Path() + relative) << text;
  }
  std::string Path() const { return folder_.Path().string(); }

 private:
  test::TTempFolder folder_{"sys"};
};

TEST(LinuxHostNames, DisksSortInNaturalOrder) {
  std::vector<std::string> names = {"sdaa", "nvme1n1", "sdb", "loop10", "sda",     "nvme0n1",
                                    "sdz",  "loop2",   "vdb", "vda",    "mmcblk1", "mmcblk0"};
  std::sort(names.begin(), names.end(), NaturalDiskLess);
  EXPECT_EQ(names,
            (std::vector<std::string>{"loop2", "loop10", "mmcblk0", "mmcblk1", "nvme0n1", "nvme1n1",
                                      "sda", "sdb", "sdz", "sdaa", "vda", "vdb"}));
}

TEST(LinuxHostNames, ListingSkipsVirtualAndUnboundDevices) {
  TempDir sys;
  for (const char* name : {"sdb", "sda", "ram0", "zram0", "dm-0", "md127", "sr0", "fd0", "loop0"}) {
    sys.Write(std::string("/") + name + "/dev", "8:0");
  }
  sys.Write("/loop1/loop/backing_file", "/tmp/disk.img");
  EXPECT_EQ(ListSysBlockDisks(sys.Path()), (std::vector<std::string>{"loop1", "sda", "sdb"}));
}

// A mapping or an array passes commands on to the disks below it, so it is
// never taken as a drive, by name or by what sysfs says of it; a drive's own
// erase also wants a controller behind the node.
TEST(LinuxHostNames, OnlyWholeDisksOfTheirOwnAreDrives) {
  TempDir sys;
  const auto device = [&](const std::string& number, const std::string& place,
                          std::initializer_list<const char*> entries) {
    for (const char* entry : entries) sys.Write(place + "/" + entry, "1");
    fs::create_directories(sys.Path() + "/sys/dev/block");
    fs::create_symlink(sys.Path() + place, sys.Path() + "/sys/dev/block/" + number);
    const std::string name = fs::path(place).filename().string();
    if (name.find("sda1") == std::string::npos) {
      fs::create_directories(sys.Path() + "/sys/block");
      fs::create_symlink(sys.Path() + place, sys.Path() + "/sys/block/" + name);
    }
  };
  const std::string disk =
      "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda";
  device("8:0", disk, {"device/model"});
  device("8:1", disk + "/sda1", {"partition"});
  device("253:3", "/sys/devices/virtual/block/dm-3", {"dm/name", "slaves/sda1"});
  device("9:0", "/sys/devices/virtual/block/md0", {"md/level"});
  device("252:0", "/sys/devices/virtual/block/bcache0", {"slaves/sda1"});
  device("7:7", "/sys/devices/virtual/block/loop7", {"loop/backing_file"});
  struct {
    unsigned Major, Minor;
    bool Drive, Erasable;
  } cases[] = {{8, 0, true, true},   {8, 1, false, false},   {253, 3, false, false},
               {9, 0, false, false}, {252, 0, false, false}, {7, 7, true, false},
               {8, 16, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Major) + ":" + std::to_string(c.Minor));
    EXPECT_EQ(WholeDiskRefusal(sys.Path(), c.Major, c.Minor, false).empty(), c.Drive);
    EXPECT_EQ(WholeDiskRefusal(sys.Path(), c.Major, c.Minor, true).empty(), c.Erasable);
  }
  EXPECT_EQ(ListSysBlockDisks(sys.Path() + "/sys/block"),
            (std::vector<std::string>{"loop7", "sda"}));

  // A node of the mapping, and a volume group's link to it, as --devices,
  // QUARNEL_DEVICES and path: name them (a block node needs no driver).
  const std::string node = sys.Path() + "/dm-3", link = sys.Path() + "/vg-lv";
  if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(253, 3)) != 0) {
    GTEST_SKIP() << "cannot make a block device node here (needs root)";
  }
  fs::create_symlink(node, link);
  for (const std::string& name : {node, link}) {
    TLinuxDrive drive;
    std::string error;
    EXPECT_FALSE(DriveFromNode(name, &drive, &error, sys.Path()));
    EXPECT_NE(error.find("is not a whole-disk block device (a partition or a mapping)"),
              std::string::npos)
        << error;
  }
}

TEST(LinuxHostBus, TransportFromTheSysfsPath) {
  TempDir sys;
  sys.Write("/sys/class/ata_link/link1/sata_spd", "6.0 Gbps\n");
  sys.Write("/sys/class/ata_link/link3/sata_spd", "<unknown>\n");
  const std::string mmc = "/sys/devices/platform/mmc0/mmc0:0001/block/mmcblk0";
  sys.Write(mmc + "/device/type", "MMC\n");
  struct {
    const char* Name;
    std::string Path;
    uint32_t Bus;
  } cases[] = {
      {"loop3", "/sys/devices/virtual/block/loop3", 15},
      {"sda", "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda", 11},
      {"sdc", "/sys/devices/pci0000:00/0000:00:1f.1/ata3/host2/target2:0:0/2:0:0:0/block/sdc", 3},
      {"sdb",
       "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb",
       7},
      {"sdd",
       "/sys/devices/pci0000:00/0000:00:03.0/0000:03:00.0/host0/port-0:0/end_device-0:0/"
       "target0:0:0/0:0:0:0/block/sdd",
       10},
      {"sde", "/sys/devices/pci0000:00/0000:00:04.0/virtio2/host0/target0:0:1/0:0:1:0/block/sde",
       1},
      {"vda", "/sys/devices/pci0000:00/0000:00:02.0/virtio1/block/vda", 14},
      {"nvme0n1", "/sys/devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", 17},
      {"mmcblk0", mmc, 13},
      {"mmcblk1", "/sys/devices/platform/mmc1/mmc1:aaaa/block/mmcblk1", 12},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BusTypeFromSysfs(c.Name, c.Path, sys.Path()), c.Bus) << c.Name;
}

TEST(LinuxHostDescriptor, LaidOutAsWindowsGivesIt) {
  TDeviceTexts texts;
  texts.Product = "XD500-AB1";
  texts.Revision = "1.02";
  texts.Serial = "5XA0TESTX";  // odd length: padded before the pairs are swapped
  texts.Removable = true;
  texts.BusType = 7;
  const std::vector<uint8_t> d = BuildDeviceDescriptor(texts);
  ASSERT_EQ(d.size(), 40u + 10 + 5 + 11);
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_Version), 40u);
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_Size), d.size());
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_VendorIdOffset), 0u);  // no vendor: no offset
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_ProductIdOffset), 40u);
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_ProductRevisionOffset), 50u);
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_SerialNumberOffset), 55u);
  EXPECT_EQ(d[win::kDEVICE_RemovableMedia], 1);
  EXPECT_EQ(GetU32(d.data(), win::kDEVICE_BusType), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.data()) + 55), "X50AETTS X");
  // The core's reading of the serial undoes the word order.
  uint8_t area[512] = {};
  std::copy(d.begin(), d.end(), area);
  EXPECT_EQ(
      SerialFromDescriptorBytes(ScanDescriptorText(area, 55, static_cast<uint32_t>(d.size()))),
      "5XA0TESTX");

  const uint8_t vpd[] = {0x00, 0x80, 0x00, 0x0C, ' ', ' ', 'W', 'D',
                         '-',  'W',  'C',  'A',  'S', '1', ' ', ' '};
  EXPECT_EQ(SerialFromVpd80(vpd, sizeof vpd), "WD-WCAS1");
  EXPECT_EQ(SerialFromVpd80(vpd, 3), "");
}

TEST(LinuxHostErrors, ErrnoMapsToWin32Codes) {
  struct {
    int Errno;
    uint32_t Code;
  } cases[] = {{0, 0},           {ENOMEDIUM, 2}, {ENOENT, 2},       {EROFS, 19}, {EIO, 1117},
               {ETIMEDOUT, 121}, {ENODEV, 55},   {ENXIO, 55},       {EACCES, 5}, {EPERM, 5},
               {EBUSY, 170},     {EINVAL, 87},   {EWOULDBLOCK, 32}, {ENOTTY, 1}, {ENOSPC, 27},
               {EXDEV, 31}};
  for (const auto& c : cases) EXPECT_EQ(Win32FromErrno(c.Errno), c.Code) << c.Errno;
}

TEST(LinuxHostErrors, TextIsThatOfTheOriginalErrno) {
  LinuxHost host({});
  EXPECT_EQ(host.CreateFileU8("/dev/sda", win::kGENERIC_READ, 3, 1, 0),
            kInvalidHandle);  // CREATE_NEW
  EXPECT_EQ(host.GetLastError(), win::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(host.ErrorText(win::kERROR_INVALID_PARAMETER), std::strerror(EINVAL));
  EXPECT_EQ(host.DrivePath(0), "");
  uint32_t written = 0;
  EXPECT_FALSE(host.WriteFile(7, "x", 1, &written));
  EXPECT_EQ(host.GetLastError(), win::kERROR_INVALID_HANDLE);
  EXPECT_EQ(host.ErrorText(win::kERROR_INVALID_HANDLE), std::strerror(EBADF));
  // A code this host never produced still gets the text of its usual errno.
  EXPECT_EQ(host.ErrorText(win::kERROR_IO_DEVICE), std::strerror(EIO));
  EXPECT_EQ(host.ErrorText(4242), "Unknown error 4242");
}

TEST(LinuxHostVolumes, HoldersOfADiskAndItsPartitions) {
  TempDir sys;
  sys.Write("/sdb/dev", "8:16\n");
  sys.Write("/sdb/holders/md0", "");
  sys.Write("/sdb/sdb1/partition", "1\n");
  sys.Write("/sdb/sdb1/dev", "8:17\n");
  sys.Write("/sdb/sdb2/partition", "2\n");
  sys.Write("/sdb/sdb2/dev", "8:18\n");
  sys.Write("/sdb/sdb2/holders/dm-0", "");
  sys.Write("/sdb/sdb2/holders/dm-3", "");
  sys.Write("/sdb/queue/rotational", "1\n");  // not a partition
  const std::string swaps =
      "Filename\tType\tSize\tUsed\tPriority\n"
      "/dev/sdb1                               partition\t1048572\t0\t-2\n"
      "/swapfile                               file\t1048572\t0\t-3\n";
  EXPECT_EQ(DriveHolders(sys.Path(), "sdb", swaps),
            (std::vector<std::string>{"sdb is held by md0", "sdb2 is held by dm-0",
                                      "sdb2 is held by dm-3", "sdb1 is active swap"}));
  EXPECT_TRUE(DriveHolders(sys.Path(), "sdc", swaps).empty());
}

TEST(LinuxHostVolumes, LockTakesDownTheVolumeItsOtherPlacesAndWhatLiesBeneathDeepestFirst) {
  const auto v = [](const std::string& target, dev_t devno, int drive, int id) {
    TLinuxVolume volume;
    volume.Target = target;
    volume.Devno = devno;
    volume.Drive = drive;
    volume.MountId = id;
    return volume;
  };
  const std::vector<TLinuxVolume> mounted{v("/mnt/a", 1, 0, 10),    v("/mnt/a/b", 2, 0, 11),
                                          v("/srv/bind", 1, 0, 12), v("/mnt/ab", 3, 0, 13),
                                          v("/mnt/a/c", 4, 1, 14),  v("/mnt/a/b/d", 5, 0, 15)};
  std::vector<std::string> targets;
  for (const TLinuxVolume& m : MountsToTakeDown(mounted, 1, 0)) targets.push_back(m.Target);
  // Another drive's mount beneath stays (and keeps the volume busy); a
  // sibling whose name merely starts alike is not beneath.
  EXPECT_EQ(targets, (std::vector<std::string>{"/mnt/a/b/d", "/srv/bind", "/mnt/a/b", "/mnt/a"}));
  EXPECT_TRUE(IsBeneath("/x/y", "/"));
  EXPECT_FALSE(IsBeneath("/", "/"));
}

TEST(LinuxHostPlatform, VersionFromTheKernelRelease) {
  const TPlatformVersion v = PlatformFromUname("Linux", "6.1.0-18-amd64", "x86_64");
  EXPECT_EQ(v.PlatformId, win::kVER_PLATFORM_WIN32_NT);
  EXPECT_EQ(v.Major, 6u);
  EXPECT_EQ(v.Minor, 1u);
  EXPECT_EQ(v.Build, 0u);
  EXPECT_EQ(v.ServicePack, "Linux x86_64");
  const TPlatformVersion w =
      PlatformFromUname("Linux", "5.15.153.1-microsoft-standard-WSL2", "x86_64");
  EXPECT_EQ(w.Major * 10000 + w.Minor * 1000 + w.Build, 5u * 10000 + 15 * 1000 + 153);
  const TPlatformVersion x = PlatformFromUname("Linux", "6.8", "aarch64");
  EXPECT_EQ(x.Minor, 8u);
  EXPECT_EQ(x.Build, 0u);

  EXPECT_TRUE(IsWow64For("x86_64", 4));
  EXPECT_TRUE(IsWow64For("aarch64", 4));
  EXPECT_TRUE(IsWow64For("x86_64", 8));
  EXPECT_FALSE(IsWow64For("i686", 4));
  EXPECT_FALSE(IsWow64For("armv7l", 4));
}

}  // namespace
}  // namespace quarnel
