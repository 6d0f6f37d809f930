// quarnel-cli format over loop devices that the tests make themselves: what
// it writes, what it leaves, and what it does with mounted filesystems.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <nlohmann/json.hpp>

#include "erase/FormatFixture.h"
#include "support/LoopLab.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

class FormatLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = TLoopLab::Unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<TLoopLab>();
  }
  void TearDown() override { lab_.reset(); }

  int Format(const std::string& node, const std::string& flags, std::string* out,
             std::string* err) {
    return RunCommand(std::string(QUARNEL_CLI_PATH) + " --devices=" + node + " format 1 --yes " +
                          flags + " </dev/null",
                      out, err);
  }

  std::unique_ptr<TLoopLab> lab_;
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(FormatLoop, FullRunZeroesTheDeviceAndNotTheRestOfItsFile) {
  // The chooser takes drives of 65,535 sectors and more only.
  const int64_t limit = 36LL * 1048576 + 3 * 4096;
  const std::string node = lab_->Attach(40, 512, false, false, limit);
  ASSERT_FALSE(node.empty());
  const std::string file = lab_->BackingFile(node);
  WritePattern(file, 40LL * 1048576);
  std::string out, err;
  EXPECT_EQ(Format(node, "", &out, &err), 0) << out << err;
  EXPECT_TRUE(Has(out, "设备容量: 73,752 扇区")) << out;
  EXPECT_TRUE(Has(out, "低级格式完成。")) << out;
  EXPECT_TRUE(Has(out, "别忘了创建一个新的分区。")) << out;
  const std::vector<uint8_t> bytes = ReadBytes(file);
  EXPECT_TRUE(AllZero(bytes, 0, limit));
  EXPECT_TRUE(HoldsPattern(bytes, limit, 40LL * 1048576));
}

TEST_F(FormatLoop, QuickWipeClearsTheStartAndTheBackupGptAndNothingBetween) {
  const int64_t size = 40LL * 1048576;
  const std::string node = lab_->Attach(40);
  ASSERT_FALSE(node.empty());
  const std::string file = lab_->BackingFile(node);
  WritePattern(file, size);
  ASSERT_TRUE(lab_->Run("printf 'label: gpt\\n,,L\\n' | sfdisk -q " + node));
  std::string out, err;
  ASSERT_EQ(RunCommand("sfdisk -d " + node, &out, &err), 0) << err;
  // The backup table alone would let a partitioning tool restore the disk.
  const std::vector<uint8_t> gpt = ReadBytes(file);
  EXPECT_FALSE(AllZero(gpt, size - 512, size));
  EXPECT_EQ(Format(node, "--quick", &out, &err), 0) << out << err;
  const std::vector<uint8_t> bytes = ReadBytes(file);
  EXPECT_TRUE(AllZero(bytes, 0, 10240000));
  EXPECT_TRUE(HoldsPattern(bytes, 10240000, size - 1048576));
  EXPECT_TRUE(AllZero(bytes, size - 1048576, size));
  EXPECT_NE(RunCommand("sfdisk -d " + node, &out, &err), 0) << out;
}

TEST_F(FormatLoop, FullRunReadBackPassesAndTheRecordNamesTheLoopDevice) {
  const std::string node = lab_->Attach(40);
  ASSERT_FALSE(node.empty());
  WritePattern(lab_->BackingFile(node), 40LL * 1048576);
  const std::string record = lab_->Dir() + "/record.json";
  std::string out, err;
  EXPECT_EQ(Format(node, "--verify --record " + record, &out, &err), 0) << out << err;
  EXPECT_TRUE(Has(out, "校验完成：所有已写入的扇区均为零。")) << out;
  const nlohmann::json r = nlohmann::json::parse(std::ifstream(record));
  EXPECT_EQ(r["drive"]["path"], node);
  EXPECT_EQ(r["drive"]["model"], "Linux Loop device");
  EXPECT_EQ(r["drive"]["sectors"], 81920);
  EXPECT_EQ(r["host"]["simulated"], false);
  EXPECT_EQ(r["verification"]["bytes_read"], 40LL * 1048576);
  EXPECT_EQ(r["outcome"], "complete");
}

TEST_F(FormatLoop, MountedFilesystemIsUnmountedByTheLockAndTheRunProceeds) {
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",,L\\n"));
  const std::string target = lab_->MountNew(node + "p1", "ext4", "vol");
  ASSERT_FALSE(target.empty());
  std::string out, err;
  EXPECT_EQ(Format(node, "--debug", &out, &err), 0) << out << err;
  EXPECT_TRUE(Has(out, "Locking \\\\.\\" + target)) << out;
  EXPECT_TRUE(Has(out, "格式化中... ")) << out;
  EXPECT_TRUE(Has(out, "低级格式完成。")) << out;
  EXPECT_TRUE(MountOptions(target).empty());  // written over: not mounted again
  EXPECT_TRUE(AllZero(ReadBytes(lab_->BackingFile(node)), 0, 40LL * 1048576));
}

TEST_F(FormatLoop, BusyFilesystemRefusesTheLockAndNothingIsWritten) {
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",,L\\n"));
  const std::string target = lab_->MountNew(node + "p1", "ext4", "busy", "noinit_itable");
  ASSERT_FALSE(target.empty());
  const int held = ::open((target + "/open.txt").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(held, 0);
  ::fsync(held);
  ::sync();
  // The filesystem may still write its own blocks; the run would have begun
  // at offset 0, in the table and gap before the partition, which it leaves alone.
  const auto head = [&] {
    std::vector<uint8_t> bytes = ReadBytes(lab_->BackingFile(node));
    bytes.resize(1048576);
    return bytes;
  };
  const std::vector<uint8_t> before = head();
  ASSERT_FALSE(AllZero(before, 0, 512));  // the partition table is there
  std::string out, err;
  EXPECT_EQ(Format(node, "", &out, &err), 5) << out << err;
  EXPECT_TRUE(Has(out, "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ")) << out;
  EXPECT_TRUE(Has(out, "占用此设备: volume " + target + " is in use: ")) << out;
  EXPECT_FALSE(Has(out, "格式化中... ")) << out;
  EXPECT_FALSE(Has(out, "别忘了创建一个新的分区。")) << out;
  EXPECT_FALSE(MountOptions(target).empty());
  ::close(held);
  EXPECT_TRUE(head() == before);
}

// The record is kept open from before the run: on the drive being erased it
// holds its volume, so the lock is refused and nothing is written.
TEST_F(FormatLoop, RecordOnTheDriveBeingErasedRefusesTheLock) {
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",,L\\n"));
  const std::string target = lab_->MountNew(node + "p1", "ext4", "vol", "noinit_itable");
  ASSERT_FALSE(target.empty());
  ::sync();
  std::vector<uint8_t> before = ReadBytes(lab_->BackingFile(node));
  before.resize(1048576);
  std::string out, err;
  EXPECT_EQ(Format(node, "--quick --record " + target + "/record.json", &out, &err), 5)
      << out << err;
  EXPECT_TRUE(Has(out, "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ")) << out;
  EXPECT_FALSE(Has(out, "格式化中... ")) << out;
  EXPECT_FALSE(MountOptions(target).empty());
  std::vector<uint8_t> after = ReadBytes(lab_->BackingFile(node));
  after.resize(1048576);
  EXPECT_TRUE(after == before);
}

// A partition used as swap holds the disk: the claim is refused, nothing is
// written, and the other partition is mounted again where it was.
TEST_F(FormatLoop, ActiveSwapRefusesTheFormatAndTheOtherVolumeComesBack) {
  std::string out, err;
  if (RunCommand("test -r /proc/swaps && command -v swapon", &out, &err) != 0)
    GTEST_SKIP() << "no swap support here";
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",16M,S\\n,,L\\n"));
  const std::string swap = node + "p1";
  ASSERT_TRUE(lab_->Run("mkswap -q " + swap));
  if (RunCommand("swapon " + swap, &out, &err) != 0) GTEST_SKIP() << "swapon refused: " << err;
  struct TSwapOff {
    std::string Node;
    ~TSwapOff() {
      std::string o, e;
      RunCommand("swapoff " + Node, &o, &e);
    }
  } swapOff{swap};
  const std::string target = lab_->MountNew(node + "p2", "ext4", "kept", "noinit_itable");
  ASSERT_FALSE(target.empty());
  const auto head = [&] {
    std::vector<uint8_t> bytes = ReadBytes(lab_->BackingFile(node));
    bytes.resize(1048576);  // the run would begin here, before the partitions
    return bytes;
  };
  const std::vector<uint8_t> before = head();
  EXPECT_EQ(Format(node, "--quick --debug", &out, &err), 5) << out << err;
  EXPECT_TRUE(Has(out, "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ")) << out;
  EXPECT_TRUE(Has(err, "Busy: " + swap.substr(5) + " is active swap")) << err;
  // Named in the main log too, not in debug mode only.
  EXPECT_TRUE(Has(out, "占用此设备: " + swap.substr(5) + " is active swap")) << out;
  EXPECT_FALSE(Has(out, "格式化中... ")) << out;
  EXPECT_TRUE(head() == before);
  EXPECT_FALSE(MountOptions(target).empty());  // given back
  // Without the swap the same disk is written.
  std::string o, e;
  ASSERT_EQ(RunCommand("swapoff " + swap, &o, &e), 0) << e;
  EXPECT_EQ(Format(node, "--quick", &out, &err), 0) << out << err;
  EXPECT_TRUE(AllZero(ReadBytes(lab_->BackingFile(node)), 0, 10240000));
}

TEST_F(FormatLoop, BatchOfFourZeroesEveryByteOfEachAndNothingBeyond) {
  const int64_t limit = 36LL * 1048576;
  std::vector<std::string> nodes;
  for (int i = 0; i < 4; ++i) {
    nodes.push_back(lab_->Attach(40, 512, false, false, limit));
    ASSERT_FALSE(nodes.back().empty());
    WritePattern(lab_->BackingFile(nodes.back()), 40LL * 1048576);
  }
  std::string out, err;
  const std::string records = lab_->Dir() + "/records";
  ASSERT_TRUE(lab_->Run("mkdir " + records));
  EXPECT_EQ(RunCommand(std::string(QUARNEL_CLI_PATH) + " --devices=" + nodes[0] + "," + nodes[1] +
                           "," + nodes[2] + "," + nodes[3] + " format 4 2 3 1 --yes --verify " +
                           "--jobs 3 --record-dir " + records + " </dev/null",
                       &out, &err),
            0)
      << out << err;
  for (const std::string& node : nodes) {
    const std::vector<uint8_t> bytes = ReadBytes(lab_->BackingFile(node));
    EXPECT_TRUE(AllZero(bytes, 0, limit)) << node;
    EXPECT_TRUE(HoldsPattern(bytes, limit, 40LL * 1048576)) << node;
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(records)) ++files;
  EXPECT_EQ(files, 4u);
  // The end table: each drive complete and read back.
  size_t passed = 0;
  std::stringstream table(out);
  for (std::string line; std::getline(table, line);) {
    passed += Has(line, "  complete  ") && Has(line, "  passed  ");
  }
  EXPECT_EQ(passed, 4u) << out;
}

// A device-mapper volume over a partition (LVM, LUKS and plain mappings all
// are) holds the disk the same way.
TEST_F(FormatLoop, MappedPartitionRefusesTheFormat) {
  std::string out, err;
  if (RunCommand("command -v dmsetup && test -e /dev/mapper/control", &out, &err) != 0)
    GTEST_SKIP() << "no device-mapper on this machine (kernel or dmsetup); the claim itself is "
                    "covered by the swap and exclusive-open cases";
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",16M,L\\n,,L\\n"));
  const std::string name = "quarnel-test-" + std::to_string(::getpid());
  if (RunCommand("echo '0 2048 linear " + node + "p1 0' | dmsetup create " + name, &out, &err) != 0)
    GTEST_SKIP() << "dmsetup create refused: " << err;
  struct TRemove {
    std::string Name;
    ~TRemove() {
      std::string o, e;
      RunCommand("dmsetup remove " + Name, &o, &e);
    }
  } remove{name};
  const std::vector<uint8_t> before = ReadBytes(lab_->BackingFile(node));
  EXPECT_EQ(Format(node, "--quick --debug", &out, &err), 5) << out << err;
  EXPECT_TRUE(Has(err, "Busy: " + node.substr(5) + "p1 is held by dm-")) << err;
  EXPECT_TRUE(ReadBytes(lab_->BackingFile(node)) == before);
}

// Another program's exclusive open is a holder like any other.
TEST_F(FormatLoop, ExclusiveOpenByAnotherProgramRefusesTheFormat) {
  const std::string node = lab_->Attach(40);
  const std::string file = lab_->BackingFile(node);
  WritePattern(file, 40LL * 1048576);
  const int held = ::open(node.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(held, 0);
  std::string out, err;
  EXPECT_EQ(Format(node, "--quick --debug", &out, &err), 5) << out << err;
  EXPECT_TRUE(Has(err, "Busy: " + node.substr(5) + " is claimed by another program")) << err;
  ::close(held);
  EXPECT_TRUE(HoldsPattern(ReadBytes(file), 0, 40LL * 1048576));
}

// Nested mounts and a second mount point of one filesystem are all taken down
// by the lock; a run that wrote nothing mounts every one of them again.
TEST_F(FormatLoop, NestedAndBindMountsAreUnmountedAndMountedAgainWhenNothingWasWritten) {
  const std::string node = lab_->Attach(40);
  ASSERT_TRUE(lab_->Partition(node, ",12M,L\\n,12M,L\\n,,L\\n"));
  const std::string outer = lab_->MountNew(node + "p1", "ext4", "outer");
  ASSERT_FALSE(outer.empty());
  ASSERT_TRUE(
      lab_->Run("mkdir -p " + outer + "/inner " + outer + "/shared " + lab_->Dir() + "/bind"));
  const std::string inner = outer + "/inner";
  ASSERT_TRUE(
      lab_->Run("mkfs.ext4 -q -F " + node + "p2 >/dev/null && mount " + node + "p2 " + inner));
  const std::string bind = lab_->Dir() + "/bind";
  std::ofstream(outer + "/shared/marker") << "shared";
  ASSERT_TRUE(lab_->Run("mount --bind " + outer + "/shared " + bind));
  struct TUnmountAll {
    std::vector<std::string> Targets;
    ~TUnmountAll() {
      std::string o, e;
      for (const std::string& t : Targets) RunCommand("umount '" + t + "'", &o, &e);
    }
  } cleanup{{bind, inner}};
  // A busy volume later in the list makes the lock fail after the others.
  const std::string busy = lab_->MountNew(node + "p3", "ext4", "zbusy", "noinit_itable");
  ASSERT_FALSE(busy.empty());
  const int held = ::open((busy + "/open.txt").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(held, 0);
  std::string out, err;
  EXPECT_EQ(Format(node, "--debug", &out, &err), 5) << out << err;
  ::close(held);
  EXPECT_TRUE(Has(out, "Locking \\\\.\\" + inner)) << out;
  EXPECT_TRUE(Has(out, "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ")) << out;
  EXPECT_FALSE(Has(out, "无法重新挂载")) << out;
  for (const std::string& t : {outer, inner, bind, busy}) {
    EXPECT_FALSE(MountOptions(t).empty()) << t << " not mounted again\n" << out << err;
  }
  EXPECT_TRUE(std::filesystem::exists(bind + "/marker"));  // the folder bound, not the whole volume
  // With nothing busy they all go and the run proceeds.
  EXPECT_EQ(Format(node, "--quick --debug", &out, &err), 0) << out << err;
  for (const std::string& t : {outer, inner, bind, busy}) EXPECT_TRUE(MountOptions(t).empty()) << t;
}

}  // namespace
}  // namespace quarnel::test
