// quarnel-cli format over loop devices that the tests make themselves: what
// it writes, what it leaves, and what it does with mounted filesystems.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "format/FormatFixture.h"
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

TEST_F(FormatLoop, QuickWipeZeroesTheFirst10240000BytesOnly) {
  const std::string node = lab_->Attach(40);
  ASSERT_FALSE(node.empty());
  const std::string file = lab_->BackingFile(node);
  WritePattern(file, 40LL * 1048576);
  std::string out, err;
  EXPECT_EQ(Format(node, "--quick", &out, &err), 0) << out << err;
  const std::vector<uint8_t> bytes = ReadBytes(file);
  EXPECT_TRUE(AllZero(bytes, 0, 10240000));
  EXPECT_TRUE(HoldsPattern(bytes, 10240000, 40LL * 1048576));
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
  EXPECT_EQ(Format(node, "", &out, &err), 1) << out << err;
  EXPECT_TRUE(Has(out, "无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ")) << out;
  EXPECT_FALSE(Has(out, "格式化中... ")) << out;
  EXPECT_FALSE(Has(out, "别忘了创建一个新的分区。")) << out;
  EXPECT_FALSE(MountOptions(target).empty());
  ::close(held);
  EXPECT_TRUE(head() == before);
}

}  // namespace
}  // namespace quarnel::test
