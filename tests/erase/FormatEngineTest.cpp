// The engine over simulated drives: what lands where, the block sizes, the
// labels, and every way a run can end.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/MainState.h"
#include "base/Logging.h"
#include "devices/DeviceTable.h"
#include "erase/FormatEngine.h"
#include "erase/FormatFixture.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

namespace fs = std::filesystem;

using Ranges = std::vector<std::pair<int64_t, int64_t>>;

bool Has(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n) {
  return std::vector<std::string>(lines.end() - static_cast<long>(std::min(n, lines.size())),
                                  lines.end());
}

TEST_F(FormatTest, FullRunAndQuickWipeZeroExactlyTheirRangeOfAnImage) {
  // Not a multiple of any block size; the image holds a tail past the drive.
  const int64_t length = 12 * 1048576 + 3 * 512;
  const int64_t past = 65536;
  const int64_t end = length - kQuickWipeTailBytes;  // where the quick wipe's last block starts
  for (bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick wipe" : "full run");
    const test::TTempFolder folder("engine");
    const std::string image = (folder / "disk.img").generic_string();  // goes into JSON
    WritePattern(image, length + past);
    OneDrive(length, R"(, "image": ")" + image + R"(")");
    EXPECT_TRUE(RunLowLevelFormat(Run(), quick));
    const int64_t total = quick ? kQuickWipeBytes : length;
    const std::vector<uint8_t> bytes = ReadBytes(image);
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), length + past);
    EXPECT_TRUE(AllZero(bytes, 0, total));
    if (quick) {
      EXPECT_TRUE(HoldsPattern(bytes, total, end));
      EXPECT_TRUE(AllZero(bytes, end, length));
      EXPECT_EQ(Drive().Written, (Ranges{{0, total}, {end, length}}));
    } else {
      EXPECT_EQ(Drive().Written, (Ranges{{0, total}}));
    }
    EXPECT_TRUE(HoldsPattern(bytes, length, length + past));
    // Only the last write of the range is short, and it ends exactly at its end.
    auto writes = Drive().Writes;
    if (quick) {
      EXPECT_EQ(writes.back(), (std::pair<int64_t, uint32_t>{end, kQuickWipeTailBytes}));
      writes.pop_back();
    }
    for (size_t i = 0; i + 1 < writes.size(); ++i) {
      EXPECT_EQ(writes[i].second % 65536, 0u);
      EXPECT_EQ(writes[i].second & (writes[i].second - 1), 0u) << writes[i].second;
    }
    EXPECT_EQ(writes.back().first + writes.back().second, total);
    EXPECT_NE(writes.back().second % 65536, 0u);
    EXPECT_EQ(Drive().FlushCount, 1);
    EXPECT_EQ(Tail(Log(), 1), std::vector<std::string>{"低级格式完成。"});
    EXPECT_EQ(ui_.Page().Position, 100);
  }
}

TEST_F(FormatTest, QuickWipeOfAMillionSectorsEndsAtSector20000WithOneShortBlock) {
  OneDrive(1000000LL * 512);
  DebugMode = true;
  tick_ = 5000;  // slow: the block size stays at 64 KiB
  EXPECT_TRUE(RunLowLevelFormat(Run(), true));
  const int64_t end = 1000000LL * 512 - kQuickWipeTailBytes;
  EXPECT_EQ(Drive().Written, (Ranges{{0, 10240000}, {end, 1000000LL * 512}}));
  const auto& writes = Drive().Writes;
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[writes.size() - 2].first, 10240000 / 65536 * 65536);
  EXPECT_EQ(writes[writes.size() - 2].second, 10240000 % 65536);
  EXPECT_EQ(ui_.Caption(TFormatLabel::lbCurrentPosition), "当前扇区: 20,000");
  EXPECT_EQ(ui_.Caption(TFormatLabel::lbCurrentPercent), "100% 完成");
  EXPECT_TRUE(Has(DebugTexts(),
                  "Quick wipe: clearing the last 1048576 bytes at offset " + std::to_string(end)));
}

TEST_F(FormatTest, QuickWipeTailIsSkippedWhenSmallStoppedOrAborted) {
  // No room for it past the first range.
  OneDrive(kQuickWipeBytes + kQuickWipeTailBytes);
  EXPECT_TRUE(RunLowLevelFormat(Run(), true));
  EXPECT_EQ(Drive().Written, (Ranges{{0, kQuickWipeBytes}}));
  // A stop seen before it.
  OneDrive(64LL * 1048576);
  ui_.OnPump = [&] {
    if (!Drive().Written.empty() && Drive().Written.back().second == kQuickWipeBytes)
      Run().StopButtonClicked();
  };
  EXPECT_FALSE(RunLowLevelFormat(Run(), true));
  EXPECT_EQ(Drive().Written, (Ranges{{0, kQuickWipeBytes}}));
  EXPECT_EQ(Tail(Log(), 1), std::vector<std::string>{"在偏移时取消操作10,240,000    LBA 20,000"});
  ui_.OnPump = nullptr;
  // Its failure is a block's failure; the drive going there aborts at it.
  const int64_t end = 64LL * 1048576 - kQuickWipeTailBytes;
  for (const char* code : {"1117", "55"}) {
    SCOPED_TRACE(code);
    OneDrive(64LL * 1048576, R"(, "faults": {"write_errors": [{"offset": )" + std::to_string(end) +
                                 R"(, "code": )" + code + "}]}");
    EXPECT_FALSE(RunLowLevelFormat(Run(), true));
    const std::vector<std::string> log = Log();
    const std::string last = code == std::string("55")
                                 ? "操作以偏移方式终止 66,060,288    LBA 129,024"
                                 : "低级格式化结束，但有 1 个块写入失败，1,048,576 字节未被擦除。";
    EXPECT_EQ(log.back(), last);
    EXPECT_TRUE(Has(log, std::string("在偏移发生格式错误 66,060,288:   ") + code));
  }
}

// The growth rule by its properties: blocks start at 64 KiB and never pass
// 32 MiB; a size changes only at every 10th block, by doubling, and only when
// the ten blocks before took under a second.
TEST_F(FormatTest, BlockSizesFollowTheGrowthRule) {
  const int64_t length = 3LL * 1024 * 1048576 + 512;  // 3 GiB and a sector
  for (int64_t tick : {10, 5000}) {                   // ten blocks in 0.1 s, or in 50 s
    SCOPED_TRACE("clock step " + std::to_string(tick));
    OneDrive(length);
    tick_ = tick;
    EXPECT_TRUE(RunLowLevelFormat(Run(), false));
    const auto& writes = Drive().Writes;
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().second, 65536u);
    int64_t largest = 0;
    for (size_t i = 1; i + 1 < writes.size(); ++i) {  // the last may be short
      const int64_t size = writes[i].second, before = writes[i - 1].second;
      EXPECT_EQ(writes[i].first % 65536, 0) << i;
      EXPECT_TRUE(size == before || ((i + 1) % 10 == 0 && size == 2 * before)) << i;
      EXPECT_LE(size, 33554432) << i;
      largest = std::max(largest, size);
    }
    EXPECT_EQ(largest, tick == 10 ? 33554432 : 65536);
  }
}

TEST_F(FormatTest, SpeedLabelIsTheAverageWithOneDecimal) {
  OneDrive(1048576);
  tick_ = 0;  // no time passes: the caption stays as it was
  ui_.SetCaption(TFormatLabel::lbSpeed, "7.5 MB/s");
  RunLowLevelFormat(Run(), false);
  EXPECT_EQ(ui_.Caption(TFormatLabel::lbSpeed), "7.5 MB/s");
  EXPECT_EQ(Log().end()[-2], "平均速度: 7.5 MB/s");
  OneDrive(1048576);
  tick_ = 1;  // one reading per block and one block-size check: 1 MiB in 17 ms
  RunLowLevelFormat(Run(), false);
  EXPECT_EQ(ui_.Caption(TFormatLabel::lbSpeed), "61.7 MB/s");
}

TEST_F(FormatTest, WriteErrorInTheMiddleIsLoggedPassedOverAndTheRunFails) {
  OneDrive(1048576, R"(, "faults": {"write_errors": [{"offset": 327680, "code": 121}]})");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  const auto log = LogFrom("在偏移发生格式错误 327,680:   121 - 设备未就绪（超时）");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "低级格式化结束，但有 1 个块写入失败，65,536 字节未被擦除。");
  EXPECT_EQ(Drive().Written, (Ranges{{0, 327680}, {393216, 1048576}}));
  EXPECT_EQ(ui_.Page().Position, 100);
}

TEST_F(FormatTest, ErrorTableTextsAndCodesOutsideIt) {
  const std::vector<std::pair<int, std::string>> cases = {{19, ":   19 - 媒体是写保护"},
                                                          {21, ":   21 - 设备未就绪（超时）"},
                                                          {1117, ":   1117 - 设备 I/O 错误"},
                                                          {6, ":   6"},
                                                          {87, ":   87"}};
  for (const auto& [code, ending] : cases) {
    OneDrive(1048576, R"(, "faults": {"write_errors": [{"offset": 65536, "code": )" +
                          std::to_string(code) + "}]}");
    EXPECT_FALSE(RunLowLevelFormat(Run(), false));
    EXPECT_EQ(LogFrom("在偏移发生格式错误 65,536" + ending).size(), 3u) << code;
  }
}

TEST_F(FormatTest, DriveGoneOnTheFirstBlockAborts) {
  for (const char* faults :
       {R"("vanish_at": 0)", R"("write_errors": [{"offset": 0, "code": 2}])"}) {
    SCOPED_TRACE(faults);
    OneDrive(1048576, std::string(R"(, "faults": {)") + faults + "}");
    EXPECT_FALSE(RunLowLevelFormat(Run(), false));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0] == "在偏移发生格式错误 0:   55 - 媒体被拔掉" ||
                log[0] == "在偏移发生格式错误 0:   2 - 媒体被拔掉")
        << log[0];
    EXPECT_EQ(log[1], "设备已拔下，中止...");
    EXPECT_EQ(log[2].rfind("平均速度: ", 0), 0u);
    EXPECT_EQ(log[3], "操作以偏移方式终止 0    LBA 0");
    EXPECT_EQ(Drive().FlushCount, 0);
  }
}

TEST_F(FormatTest, DriveGoneInTheMiddleStopsAtTheFailedBlockAndSaysTheFlushFailed) {
  OneDrive(2097152, R"(, "faults": {"vanish_at": 1048576})");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  const auto log = LogFrom("在偏移发生格式错误 1,048,576:   55 - 媒体被拔掉");
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3].rfind("刷新设备缓存失败: 55 - ", 0), 0u) << log[3];
  EXPECT_EQ(log[4], "操作以偏移方式终止 1,048,576    LBA 2048");
  EXPECT_EQ(Drive().Written, (Ranges{{0, 1048576}}));
}

TEST_F(FormatTest, EveryBlockFailingEndsWithTheFailureCountNotCompletion) {
  std::string faults;
  for (int i = 0; i < 16; ++i) {
    faults += (i ? ", " : "") + std::string(R"({"offset": )") + std::to_string(i * 65536) +
              R"(, "code": 19})";
  }
  OneDrive(1048576, R"(, "faults": {"write_errors": [)" + faults + "]}");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  const auto log = Log();
  ASSERT_EQ(log.size(), 18u);
  EXPECT_EQ(log[15], "在偏移发生格式错误 983,040:   19 - 媒体是写保护");
  EXPECT_EQ(log[17], "低级格式化结束，但有 16 个块写入失败，1,048,576 字节未被擦除。");
  EXPECT_TRUE(Drive().Written.empty());
  EXPECT_EQ(Drive().FlushCount, 0);  // nothing written, nothing to flush
}

TEST_F(FormatTest, SeekRefusalPassesTheBlockOverUnwritten) {
  OneDrive(1048576, R"(, "faults": {"seek_errors": [{"offset": 131072, "code": 87}]})");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  const auto log = LogFrom("在偏移发生寻找错误 131,072");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "低级格式化结束，但有 1 个块写入失败，65,536 字节未被擦除。");
  EXPECT_EQ(Drive().Written, (Ranges{{0, 131072}, {196608, 1048576}}));
}

TEST_F(FormatTest, ShortWriteCountsAsFailedWithTheCodeOfThatMoment) {
  OneDrive(1048576, R"(, "faults": {"short_writes": [{"offset": 70144, "code": 1117}]})");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  EXPECT_EQ(LogFrom("在偏移发生格式错误 65,536:   1117 - 设备 I/O 错误").size(), 3u);
}

TEST_F(FormatTest, FlushFailureMeansNoCompletionLine) {
  OneDrive(1048576, R"(, "faults": {"flush": 1117})");
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  const auto log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1],
            "刷新设备缓存失败: 1117 - The request could not be performed because of an I/O "
            "device error.");
}

TEST_F(FormatTest, StopDuringTheLastBlockGivesTheCancelLineWithTheFullSize) {
  OneDrive(1048576);
  ui_.OnPump = [this] {
    if (ui_.Caption(TFormatLabel::lbCurrentPosition) == "当前扇区: 2048") Run().StopButtonClicked();
  };
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  EXPECT_EQ(Tail(Log(), 1), std::vector<std::string>{"在偏移时取消操作1,048,576    LBA 2048"});
  EXPECT_FALSE(Run().StopRequested());
  EXPECT_EQ(Drive().Written, (Ranges{{0, 1048576}}));
}

TEST_F(FormatTest, StopInTheMiddleEndsAfterTheBlockInHand) {
  OneDrive(1048576);
  ui_.OnPump = [this] {
    if (ui_.Caption(TFormatLabel::lbCurrentPercent) == "31% 完成") Run().StopButtonClicked();
  };
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  // 31 % is shown for the block ending at 327,680; it is still written.
  EXPECT_EQ(Tail(Log(), 1), std::vector<std::string>{"在偏移时取消操作327,680    LBA 640"});
  EXPECT_EQ(Drive().Written, (Ranges{{0, 327680}}));
  EXPECT_EQ(Drive().FlushCount, 1);
}

TEST_F(FormatTest, NoSectorsOrNoSectorSizeMeansNoLoopAndCompletion) {
  for (int field = 0; field < 2; ++field) {
    OneDrive(1048576);
    (field == 0 ? DeviceTable[1].IdentifyData.LBA : DeviceTable[1].IdentifyData.SectorSize) = 0;
    EXPECT_TRUE(RunLowLevelFormat(Run(), false));
    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("平均速度: ", 0), 0u);
    EXPECT_EQ(log[1], "低级格式完成。");
    EXPECT_EQ(ui_.Page().Position, 100);
    EXPECT_TRUE(Drive().Writes.empty());
  }
}

TEST_F(FormatTest, CapacityPast64BitsWritesNothing) {
  OneDrive(1048576);
  DeviceTable[1].IdentifyData.LBA = INT64_MAX / 256;
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  EXPECT_EQ(Log(), std::vector<std::string>{"设备容量超出范围，未写入任何数据。"});
  EXPECT_TRUE(Drive().Writes.empty());
}

TEST_F(FormatTest, ZeroBufferThatCannotBeHadIsReported) {
  OneDrive(1048576);
  Run().SetZeroBufferAllocator([](size_t) -> void* { return nullptr; });
  EXPECT_FALSE(RunLowLevelFormat(Run(), false));
  EXPECT_EQ(Log(), std::vector<std::string>{"无法分配内存缓冲区。"});
  EXPECT_TRUE(Drive().Writes.empty());
}

TEST_F(FormatTest, SeekDeviceReturnsThePositionOrMinusOne) {
  OneDrive(1048576, R"(, "faults": {"seek_errors": [{"offset": 4096, "code": 87}]})");
  EXPECT_EQ(SeekDevice(GetHost(), DeviceHandle, 512), 512);
  EXPECT_EQ(SeekDevice(GetHost(), DeviceHandle, 4096), -1);
  EXPECT_EQ(SeekDevice(GetHost(), kInvalidHandle, 0), -1);
}

}  // namespace
}  // namespace quarnel::test
