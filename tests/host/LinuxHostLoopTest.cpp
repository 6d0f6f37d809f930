// LinuxHost on loop devices that the tests make themselves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/StartUp.h"
#include "ata/Identification.h"
#include "base/System.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/VolumeLocking.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/MachineHost.h"
#include "host/linux/LinuxHost.h"
#include "support/LoopLab.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

using test::TLoopLab;

class LinuxHostLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = TLoopLab::Unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<TLoopLab>();
    ResetProcessState();
  }
  void TearDown() override {
    SetHost(nullptr);  // closes what the host still holds before the lab undoes its devices
    lab_.reset();
  }

  // Installs the machine host over these nodes and returns it.
  LinuxHost& UseHost(const std::vector<std::string>& nodes) {
    std::string error, notice;
    auto host = CreateMachineHost(nodes, &error, &notice);
    EXPECT_TRUE(host) << error;
    auto* machine = static_cast<LinuxHost*>(host.get());
    SetHost(std::move(host));
    return *machine;
  }

  THandle Open(const std::string& path, uint32_t access, uint32_t share) {
    return GetHost().CreateFileU8(path, access, share, win::kOPEN_EXISTING, 0);
  }

  static bool Mounted(const std::string& target) { return !test::MountOptions(target).empty(); }

  std::unique_ptr<TLoopLab> lab_;
};

TEST_F(LinuxHostLoop, DevicesAreNumberedInTheOrderGivenAndPartitionsAreRefused) {
  const std::string a = lab_->Attach(8);
  const std::string b = lab_->Attach(8);
  ASSERT_TRUE(lab_->Partition(a, ",4M,L\\n"));
  LinuxHost& host = UseHost({b, a});
  EXPECT_EQ(host.DrivePath(0), b);
  EXPECT_EQ(host.DrivePath(1), a);
  EXPECT_EQ(host.DrivePath(2), "");
  EXPECT_EQ(host.DrivePath(-1), "");

  std::string error, notice;
  EXPECT_FALSE(CreateMachineHost({a + "p1"}, &error, &notice));
  EXPECT_NE(error.find("not a whole-disk block device"), std::string::npos) << error;
  EXPECT_FALSE(CreateMachineHost({lab_->BackingFile(a)}, &error, &notice));
  EXPECT_NE(error.find("not a block device"), std::string::npos) << error;
  EXPECT_FALSE(CreateMachineHost({a, a}, &error, &notice));

  // Bound loop devices are among the machine's own drives, in natural order.
  const std::vector<std::string> all = ListSysBlockDisks();
  const auto at = [&](const std::string& node) {
    return std::find(all.begin(), all.end(), node.substr(5)) - all.begin();
  };
  ASSERT_LT(at(a), static_cast<long>(all.size()));
  ASSERT_LT(at(b), static_cast<long>(all.size()));
  EXPECT_EQ(at(a) < at(b), NaturalDiskLess(a.substr(5), b.substr(5)));
}

TEST_F(LinuxHostLoop, IdentifiesLoopDevicesWithTheirSectorSize) {
  const std::string small = lab_->Attach(16);
  const std::string large = lab_->Attach(16, 4096);
  UseHost({small, large});
  struct {
    int Drive;
    int64_t SectorSize;
  } cases[] = {{0, 512}, {1, 4096}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.SectorSize);
    const THandle handle = Open(GetHost().DrivePath(c.Drive), win::kGENERIC_READ, 3);
    ASSERT_NE(handle, kInvalidHandle);
    TIdentifyDeviceData record;
    uint32_t refusal = 0;
    ASSERT_EQ(IdentifyDevice(handle, record, &refusal), 0);
    EXPECT_EQ(record.BusType, TBusType::FileBackedVirtual);
    EXPECT_EQ(BusTypeName(record.BusType), "FBVIRTUAL");
    EXPECT_EQ(record.SectorSize, c.SectorSize);
    EXPECT_EQ(record.LBA, int64_t{16} * 1024 * 1024 / c.SectorSize);
    EXPECT_EQ(record.Model, "Linux Loop device");
    // A loop device speaks no ATA: the SMART version request is refused.
    uint8_t version[28] = {};
    uint32_t returned = 0;
    EXPECT_FALSE(GetHost().DeviceIoControl(handle, win::kSMART_GET_VERSION, nullptr, 0, version,
                                           sizeof version, &returned));
    EXPECT_EQ(GetHost().GetLastError(), win::kERROR_INVALID_FUNCTION);
    EXPECT_TRUE(GetHost().CloseHandle(handle));
  }
}

TEST_F(LinuxHostLoop, VolumesGiveTheirDiskAndPartitionNumbers) {
  const std::string disk = lab_->Attach(32);
  const std::string whole = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",12M,L\\n,,c\\n"));
  const std::string first = lab_->MountNew(disk + "p1", "ext4", "first");
  const std::string second = lab_->MountNew(disk + "p2", "ext2", "second");
  const std::string plain = lab_->MountNew(whole, "ext4", "plain");
  ASSERT_FALSE(plain.empty());
  UseHost({disk, whole});

  TDriveRoots roots;
  ListLogicalDrives(roots);
  EXPECT_EQ(std::vector<std::string>(roots.begin(), roots.begin() + 3),
            (std::vector<std::string>{first, second, plain}));
  EXPECT_EQ(roots[3], "");

  struct {
    std::string Root;
    uint32_t Drive, Partition;
  } cases[] = {{first, 0, 1}, {second, 0, 2}, {plain, 1, 0}};
  for (const auto& c : cases) {
    const TVolumeDeviceInfo info = GetVolumeDeviceNumber(c.Root);
    EXPECT_TRUE(info.Found) << c.Root;
    EXPECT_EQ(info.DeviceType, 7u);
    EXPECT_EQ(info.DeviceNumber, c.Drive) << c.Root;
    EXPECT_EQ(info.PartitionNumber, c.Partition) << c.Root;
  }
  std::string parts;
  ListDevicePartitions(parts, 0);
  EXPECT_EQ(parts, first + " " + second);
  EXPECT_FALSE(GetVolumeDeviceNumber(lab_->Dir()).Found);  // not a mount point
}

TEST_F(LinuxHostLoop, LockUnmountsTheClaimKeepsOthersOutAndReleaseMountsAgain) {
  const std::string disk = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string target = lab_->MountNew(disk + "p1", "ext4", "vol", "noatime");
  ASSERT_FALSE(target.empty());
  std::ofstream(target + "/kept.txt") << "kept";
  UseHost({disk});
  Host& host = GetHost();
  const THandle drive = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(drive, kInvalidHandle);
  std::vector<std::string> holders;
  // The mounted partition holds the disk: no claim yet.
  EXPECT_FALSE(host.ClaimDrive(drive, &holders));
  EXPECT_EQ(host.GetLastError(), win::kERROR_BUSY);

  const THandle volume = Open("\\\\.\\" + target, win::kGENERIC_READ, 3);
  ASSERT_NE(volume, kInvalidHandle);
  uint32_t returned = 0;
  ASSERT_TRUE(
      host.DeviceIoControl(volume, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
  EXPECT_EQ(host.GetLastError(), 0u);
  EXPECT_TRUE(
      host.DeviceIoControl(volume, win::kFSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned));
  EXPECT_FALSE(Mounted(target));
  ASSERT_TRUE(host.ClaimDrive(drive, &holders));
  EXPECT_TRUE(holders.empty());
  // The claim keeps others from the partition meanwhile.
  const int other = ::open((disk + "p1").c_str(), O_RDONLY | O_EXCL);
  EXPECT_LT(other, 0);
  EXPECT_EQ(errno, EBUSY);
  if (other >= 0) ::close(other);

  host.ReleaseDrive(drive);
  ASSERT_TRUE(host.CloseHandle(volume));
  const std::string options = test::MountOptions(target);
  EXPECT_NE(options.find("noatime"), std::string::npos) << options;
  EXPECT_TRUE(std::ifstream(target + "/kept.txt").good());
  EXPECT_EQ(static_cast<LinuxHost&>(host).LastRemountError(), "");
  EXPECT_TRUE(host.CloseHandle(drive));
}

TEST_F(LinuxHostLoop, RemountThatFailsOnReleaseIsLogged) {
  const std::string disk = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string target = lab_->MountNew(disk + "p1", "ext4", "gone");
  ASSERT_FALSE(target.empty());
  UseHost({disk});
  TVolumeLocks locks(GetHost());
  ASSERT_TRUE(locks.LockDeviceVolumes(0));
  ASSERT_EQ(locks.LockedVolumeHandles().size(), 1u);
  ASSERT_FALSE(Mounted(target));
  std::filesystem::remove(target);  // nowhere to mount it again
  locks.ReleaseDeviceVolumes();
  const std::vector<std::string> log = test::MainLogTexts();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind("无法重新挂载 " + target + ": ", 0), 0u) << log.back();
  EXPECT_GT(log.back().size(), ("无法重新挂载 " + target + ": ").size());
  EXPECT_FALSE(static_cast<LinuxHost&>(GetHost()).LastRemountError().empty());
  std::filesystem::create_directory(target);  // for the lab's clean-up
}

// Between the unmount and the mount again the place may change under a user
// who owns a folder on the way: the volume then stays unmounted, and is never
// mounted where a symbolic link or another folder leads.
TEST_F(LinuxHostLoop, RemountGoesOnlyOntoTheVeryFolderItCameFrom) {
  const std::string disk = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string target = lab_->MountNew(disk + "p1", "ext4", "parent/mnt");
  ASSERT_FALSE(target.empty());
  const std::string parent = lab_->Dir() + "/parent", moved = lab_->Dir() + "/moved";
  const std::string victim = lab_->Dir() + "/victim";
  std::filesystem::create_directories(victim + "/mnt");
  UseHost({disk});
  struct TUnmount {
    std::vector<std::string> Targets;
    ~TUnmount() {
      std::string o, e;
      for (const std::string& t : Targets) test::RunCommand("umount '" + t + "'", &o, &e);
    }
  } cleanup{{victim + "/mnt", moved + "/mnt", parent + "/mnt.old", target}};
  const auto remountFailed = [&] {
    const std::vector<std::string> log = test::MainLogTexts();
    return !log.empty() && log.back().rfind("无法重新挂载 " + target + ": ", 0) == 0;
  };

  // The parent folder swapped for a link to another one.
  TVolumeLocks locks(GetHost());
  ASSERT_TRUE(locks.LockDeviceVolumes(0));
  ASSERT_FALSE(Mounted(target));
  std::filesystem::rename(parent, moved);
  std::filesystem::create_directory_symlink(victim, parent);
  locks.ReleaseDeviceVolumes();
  EXPECT_FALSE(Mounted(victim + "/mnt"));
  EXPECT_FALSE(Mounted(moved + "/mnt"));
  EXPECT_TRUE(remountFailed()) << test::MainLogTexts().back();

  // The way back as it was, but the mount point itself replaced.
  std::filesystem::remove(parent);
  std::filesystem::rename(moved, parent);
  ASSERT_TRUE(lab_->Run("mount " + disk + "p1 " + target));
  ASSERT_TRUE(locks.LockDeviceVolumes(0));
  std::filesystem::rename(target, parent + "/mnt.old");
  std::filesystem::create_directory(target);
  locks.ReleaseDeviceVolumes();
  EXPECT_FALSE(Mounted(target));
  EXPECT_FALSE(Mounted(parent + "/mnt.old"));
  EXPECT_TRUE(remountFailed()) << test::MainLogTexts().back();

  // Left alone, the same folder takes the volume back.
  std::filesystem::remove(target);
  std::filesystem::rename(parent + "/mnt.old", target);
  ASSERT_TRUE(lab_->Run("mount " + disk + "p1 " + target));
  ASSERT_TRUE(locks.LockDeviceVolumes(0));
  const size_t lines = test::MainLogTexts().size();
  locks.ReleaseDeviceVolumes();
  EXPECT_TRUE(Mounted(target));
  EXPECT_EQ(test::MainLogTexts().size(), lines);
}

// Mount points longer than the root list's first buffer are found all the same.
TEST_F(LinuxHostLoop, LongMountPointsAreFoundAndLocked) {
  const std::string disk = lab_->Attach(16);
  const std::string deep = std::string(200, 'd') + "/" + std::string(200, 'e') + "/" +
                           std::string(200, 'f') + "/" + std::string(200, 'g') + "/" +
                           std::string(200, 'h') + "/" + std::string(200, 'i');
  const std::string target = lab_->MountNew(disk, "ext4", deep);
  ASSERT_FALSE(target.empty());
  ASSERT_GT(target.size(), 1200u);
  UseHost({disk});
  TDriveRoots roots;
  ListLogicalDrives(roots);
  EXPECT_NE(std::find(roots.begin(), roots.end(), target), roots.end());
  TVolumeLocks locks(GetHost());
  ASSERT_TRUE(locks.LockDeviceVolumes(0));
  EXPECT_EQ(locks.LockedVolumeHandles().size(), 1u);
  EXPECT_FALSE(Mounted(target));
  locks.ReleaseDeviceVolumes();
  EXPECT_TRUE(Mounted(target));
}

TEST_F(LinuxHostLoop, BusyVolumeRefusesTheLockAndStaysMounted) {
  const std::string disk = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string target = lab_->MountNew(disk + "p1", "ext4", "busy");
  ASSERT_FALSE(target.empty());
  UseHost({disk});
  Host& host = GetHost();
  const int held = ::open((target + "/open.txt").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(held, 0);

  const THandle volume = Open("\\\\.\\" + target, win::kGENERIC_READ, 3);
  ASSERT_NE(volume, kInvalidHandle);
  uint32_t returned = 0;
  EXPECT_FALSE(
      host.DeviceIoControl(volume, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
  EXPECT_EQ(host.GetLastError(), win::kERROR_BUSY);
  EXPECT_EQ(host.ErrorText(host.GetLastError()), std::strerror(EBUSY));
  EXPECT_TRUE(Mounted(target));
  EXPECT_TRUE(host.CloseHandle(volume));
  EXPECT_TRUE(Mounted(target));

  // Once the file is closed the same volume locks.
  ::close(held);
  const THandle again = Open("\\\\.\\" + target, win::kGENERIC_READ, 3);
  EXPECT_TRUE(
      host.DeviceIoControl(again, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
  EXPECT_FALSE(Mounted(target));
  EXPECT_TRUE(host.CloseHandle(again));
  EXPECT_TRUE(Mounted(target));
}

TEST_F(LinuxHostLoop, ReleaseAfterAWriteLeavesTheVolumeUnmounted) {
  const std::string disk = lab_->Attach(16);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string target = lab_->MountNew(disk + "p1", "ext4", "wiped");
  ASSERT_FALSE(target.empty());
  UseHost({disk});
  Host& host = GetHost();
  // The chosen drive opens for writing while its partition is mounted.
  const THandle drive = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(drive, kInvalidHandle);
  const THandle volume = Open("\\\\.\\" + target, win::kGENERIC_READ, 3);
  uint32_t returned = 0;
  ASSERT_TRUE(
      host.DeviceIoControl(volume, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));

  std::vector<uint8_t> zeros(65536, 0);
  uint32_t written = 0;
  ASSERT_TRUE(host.SetFilePointerEx(drive, 0, nullptr, win::kFILE_BEGIN));
  ASSERT_TRUE(host.WriteFile(drive, zeros.data(), 65536, &written));
  host.DeviceIoControl(drive, win::kIOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0,
                       &returned);
  EXPECT_TRUE(host.CloseHandle(volume));
  EXPECT_FALSE(Mounted(target));
  EXPECT_TRUE(host.CloseHandle(drive));
}

TEST_F(LinuxHostLoop, LayoutRefreshGoesThroughTheClaim) {
  const std::string disk = lab_->Attach(16, 512, false, true);
  ASSERT_TRUE(lab_->Partition(disk, ",,L\\n"));
  const std::string partition = "/sys/block/" + disk.substr(5) + "/" + disk.substr(5) + "p1";
  UseHost({disk});
  Host& host = GetHost();
  const THandle drive = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  std::vector<std::string> holders;
  ASSERT_TRUE(host.ClaimDrive(drive, &holders));
  // Zeros over the partition table, as a quick wipe writes them.
  std::vector<uint8_t> zeros(65536, 0);
  uint32_t written = 0;
  ASSERT_TRUE(host.WriteFile(drive, zeros.data(), 65536, &written));
  uint32_t returned = 0;
  EXPECT_TRUE(host.DeviceIoControl(drive, win::kIOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr,
                                   0, &returned))
      << host.ErrorText(host.GetLastError());
  EXPECT_FALSE(std::filesystem::exists(partition));
  host.ReleaseDrive(drive);
  EXPECT_TRUE(host.CloseHandle(drive));
}

TEST_F(LinuxHostLoop, WholeDiskFilesystemLocksAndIsWrittenThroughTheDrive) {
  const std::string disk = lab_->Attach(16);
  const std::string target = lab_->MountNew(disk, "ext4", "whole");
  ASSERT_FALSE(target.empty());
  UseHost({disk});
  Host& host = GetHost();
  const THandle drive = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(drive, kInvalidHandle) << host.ErrorText(host.GetLastError());
  const THandle volume = Open("\\\\.\\" + target, win::kGENERIC_READ, 3);
  uint32_t returned = 0;
  ASSERT_TRUE(
      host.DeviceIoControl(volume, win::kFSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned));
  std::vector<uint8_t> zeros(65536, 0);
  uint32_t written = 0;
  EXPECT_TRUE(host.WriteFile(drive, zeros.data(), 65536, &written));
  EXPECT_EQ(written, 65536u);
  EXPECT_TRUE(host.CloseHandle(volume));
  EXPECT_FALSE(Mounted(target));
  EXPECT_TRUE(host.CloseHandle(drive));
}

TEST_F(LinuxHostLoop, WritesAndSeeksAtOffsets) {
  const std::string disk = lab_->Attach(4);
  UseHost({disk});
  Host& host = GetHost();
  const THandle drive = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(drive, kInvalidHandle);

  // From an unaligned buffer (copied for O_DIRECT) and from an aligned one.
  std::vector<uint8_t> storage(65536 + 4096 + 1);
  uint8_t* unaligned =
      storage.data() + (4096 - reinterpret_cast<uintptr_t>(storage.data()) % 4096) + 1;
  std::memset(unaligned, 0xA5, 65536);
  int64_t at = -1;
  uint32_t written = 0;
  ASSERT_TRUE(host.SetFilePointerEx(drive, 1 << 20, &at, win::kFILE_BEGIN));
  EXPECT_EQ(at, 1 << 20);
  ASSERT_TRUE(host.WriteFile(drive, unaligned, 65536, &written));
  EXPECT_EQ(written, 65536u);
  EXPECT_EQ(host.GetLastError(), 0u);
  ASSERT_TRUE(host.SetFilePointerEx(drive, 0, &at, win::kFILE_CURRENT));
  EXPECT_EQ(at, (1 << 20) + 65536);
  uint8_t* aligned = unaligned - 1;
  std::memset(aligned, 0x5A, 4096);
  ASSERT_TRUE(host.SetFilePointerEx(drive, 4096, nullptr, win::kFILE_BEGIN));
  ASSERT_TRUE(host.WriteFile(drive, aligned, 4096, &written));

  std::ifstream image(lab_->BackingFile(disk), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(image)),
                             std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 4u << 20);
  EXPECT_EQ(bytes[4095], 0);
  EXPECT_EQ(bytes[4096], 0x5A);
  EXPECT_EQ(bytes[8191], 0x5A);
  EXPECT_EQ(bytes[8192], 0);
  EXPECT_EQ(bytes[(1 << 20) - 1], 0);
  EXPECT_EQ(bytes[1 << 20], 0xA5);
  EXPECT_EQ(bytes[(1 << 20) + 65535], 0xA5);
  EXPECT_EQ(bytes[(1 << 20) + 65536], 0);

  // Reads at an offset leave the position where it was; the last one is short.
  ASSERT_TRUE(host.SetFilePointerEx(drive, 8192, nullptr, win::kFILE_BEGIN));
  uint32_t read = 0, code = 1;
  ASSERT_TRUE(host.ReadAt(drive, aligned, 65536, 1 << 20, &read, &code));
  EXPECT_EQ(read, 65536u);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(aligned[0], 0xA5);
  EXPECT_EQ(aligned[65535], 0xA5);
  EXPECT_TRUE(host.ReadAt(drive, aligned, 8192, (4 << 20) - 4096, &read, &code));
  EXPECT_EQ(read, 4096u);
  EXPECT_FALSE(host.ReadAt(drive, unaligned, 4096, 0, &read, &code));
  EXPECT_EQ(code, win::kERROR_INVALID_PARAMETER);
  ASSERT_TRUE(host.SetFilePointerEx(drive, 0, &at, win::kFILE_CURRENT));
  EXPECT_EQ(at, 8192);

  // Refusals: a part of a sector, a seek before the start, a write past the end.
  ASSERT_TRUE(host.SetFilePointerEx(drive, 0, nullptr, win::kFILE_BEGIN));
  EXPECT_FALSE(host.WriteFile(drive, aligned, 100, &written));
  EXPECT_EQ(host.GetLastError(), win::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(written, 0u);
  EXPECT_FALSE(host.SetFilePointerEx(drive, -512, nullptr, win::kFILE_BEGIN));
  EXPECT_EQ(host.GetLastError(), win::kERROR_NEGATIVE_SEEK);
  ASSERT_TRUE(host.SetFilePointerEx(drive, 0, &at, win::kFILE_END));
  EXPECT_EQ(at, 4 << 20);
  EXPECT_FALSE(host.WriteFile(drive, aligned, 4096, &written));
  EXPECT_EQ(host.GetLastError(), win::kERROR_SECTOR_NOT_FOUND);
  EXPECT_TRUE(host.CloseHandle(drive));
  EXPECT_FALSE(host.CloseHandle(drive));
  EXPECT_EQ(host.GetLastError(), win::kERROR_INVALID_HANDLE);
}

TEST_F(LinuxHostLoop, SharingAndErrnoMapping) {
  const std::string disk = lab_->Attach(4);
  const std::string readOnly = lab_->Attach(4, 512, true);
  UseHost({disk, readOnly});
  Host& host = GetHost();
  // A second program: its own host, its own open file descriptions.
  std::string error, notice;
  auto second = CreateMachineHost({disk}, &error, &notice);
  ASSERT_TRUE(second);

  const THandle mine = Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(mine, kInvalidHandle);
  EXPECT_EQ(second->CreateFileU8(disk, win::kGENERIC_READ, 3, win::kOPEN_EXISTING, 0),
            kInvalidHandle);
  EXPECT_EQ(second->GetLastError(), win::kERROR_SHARING_VIOLATION);
  host.CloseHandle(mine);
  const THandle theirs = second->CreateFileU8(disk, win::kGENERIC_READ, 3, win::kOPEN_EXISTING, 0);
  EXPECT_NE(theirs, kInvalidHandle);
  EXPECT_EQ(Open(disk, win::kGENERIC_READ | win::kGENERIC_WRITE, 0), kInvalidHandle);
  EXPECT_EQ(host.GetLastError(), win::kERROR_SHARING_VIOLATION);
  second->CloseHandle(theirs);

  // A read-only device refuses the write with the kernel's own reason.
  const THandle ro = Open(readOnly, win::kGENERIC_READ | win::kGENERIC_WRITE, 0);
  ASSERT_NE(ro, kInvalidHandle);
  void* block = std::aligned_alloc(4096, 4096);
  uint32_t written = 0;
  EXPECT_FALSE(host.WriteFile(ro, block, 4096, &written));
  std::free(block);
  const uint32_t code = host.GetLastError();
  EXPECT_TRUE(code == win::kERROR_WRITE_PROTECT || code == win::kERROR_ACCESS_DENIED) << code;
  EXPECT_EQ(host.ErrorText(code), std::strerror(code == win::kERROR_WRITE_PROTECT ? EROFS : EPERM));
  host.CloseHandle(ro);

  // Paths that are no drive of this host are not opened at all.
  EXPECT_EQ(Open("/dev/null", win::kGENERIC_READ, 3), kInvalidHandle);
  EXPECT_EQ(host.GetLastError(), win::kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(host.ErrorText(win::kERROR_FILE_NOT_FOUND), std::strerror(ENOENT));
}

TEST_F(LinuxHostLoop, CliListShowsTheMountPointInTheModelColumn) {
  const std::string disk = lab_->Attach(16);
  const std::string target = lab_->MountNew(disk, "ext4", "shown");
  ASSERT_FALSE(target.empty());
  std::string out, err;
  const int status = test::RunCommand(
      std::string("LC_ALL=C ") + QUARNEL_CLI_PATH + " --devices=" + disk + " --debug list", &out,
      &err);
  EXPECT_EQ(status, 0) << err;
  EXPECT_NE(out.find("1\tFBVIRTUAL\tLinux Loop device (" + target + ")\t0000\t000000\t32768\t"),
            std::string::npos)
      << out;
  EXPECT_NE(err.find("Trying device " + disk), std::string::npos);

  EXPECT_NE(test::RunCommand(std::string(QUARNEL_CLI_PATH) + " --devices=" + disk + "p1 list", &out,
                             &err),
            0);
  EXPECT_NE(err.find(disk + "p1"), std::string::npos) << err;
}

TEST_F(LinuxHostLoop, CliTakesTheDevicesFromTheEnvironmentAndWarnsWithoutRoot) {
  const std::string disk = lab_->Attach(8);
  std::string out, err;
  EXPECT_EQ(test::RunCommand("LC_ALL=C QUARNEL_DEVICES=" + disk + " " + QUARNEL_CLI_PATH + " list",
                             &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("1\tFBVIRTUAL\tLinux Loop device\t"), std::string::npos) << out;
  EXPECT_EQ(err, "");

  // Without root every open fails; the program says why and still runs. The
  // listing opens nothing for writing.
  if (test::RunCommand("setpriv --version", &out, &err) != 0) GTEST_SKIP() << "no setpriv";
  EXPECT_EQ(test::RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                 std::string(QUARNEL_CLI_PATH) + " --devices=" + disk + " list",
                             &out, &err),
            0);
  EXPECT_NE(err.find("drives cannot be opened without root rights"), std::string::npos) << err;
  EXPECT_EQ(out, std::string("#\tbus\tmodel (volumes)\tfirmware\tserial\tsectors\tcapacity\tpath\n") +
                     "找到磁盘: 0    需要管理员权限才能打开磁盘：" + AdminRightsHint() + "\n");
}

}  // namespace
}  // namespace quarnel
