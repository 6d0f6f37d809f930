// The read-back after a run and the erase record, on simulated drives with
// images.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <vector>

#include "erase/EraseRecord.h"
#include "erase/FormatEngine.h"
#include "erase/FormatFixture.h"
#include "app/MainState.h"
#include "erase/Verification.h"
#include "record/EraseRecordFile.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

// The system the program was built for, as the record names it.
#ifdef _WIN32
constexpr const char* kSystem = "Windows";
#else
constexpr const char* kSystem = "Linux";
#endif

namespace fs = std::filesystem;
using json = nlohmann::json;
using Lines = std::vector<std::string>;

class VerifyTest : public FormatTest {
 protected:
  // A drive of `length` bytes over an image full of a non-zero pattern; `more`
  // adds keys to the drive. The read-back box is ticked and records kept.
  void ImageDrive(int64_t length, const std::string& more = "") {
    image_ = (dir_ / "disk.img").generic_string();  // goes into a JSON text
    WritePattern(image_, length);
    OneDrive(length, R"(, "image": ")" + image_ + "\"" + more);
    ui_.SetVerify(true);
    Run().SetEraseRecordWriter(EraseRecordWriter(RecordPath(), true));
  }
  std::string RecordPath() const { return (dir_ / "record.json").string(); }
  json Record() const { return json::parse(std::ifstream(RecordPath())); }

  test::TTempFolder dir_{"verify"};
  std::string image_;
};

constexpr int64_t kMiB = 1048576;
// The drives here answer no IDENTIFY: whether they hide sectors is not known.
const char* const kNoHiddenAreaAnswer =
    "注意: 无法确定驱动器是否隐藏扇区 (HPA/DCO): 驱动器不接受 ATA 命令 (IDENTIFY DEVICE 失败)";

TEST_F(VerifyTest, FullRunIsReadBackAndRecorded) {
  ImageDrive(24 * kMiB);
  EXPECT_TRUE(Run().FormatSelectedDevice());
  EXPECT_EQ(LogFrom("低级格式完成。"),
            (Lines{"低级格式完成。", "校验中... ", "校验完成：所有已写入的扇区均为零。",
                   kNoHiddenAreaAnswer, "", "别忘了创建一个新的分区。",
                   "擦除记录已保存: " + RecordPath()}));
  EXPECT_EQ(ui_.Page().Position, 100);
  EXPECT_EQ(ui_.Caption(TFormatLabel::lbCurrentPosition), "当前扇区: 49,152");

  const json r = Record();
  EXPECT_EQ(r["program"], (json{{"name", "Quarnel"}, {"version", "4.40"}}));
  EXPECT_EQ(
      r["host"],
      (json{{"system", kSystem}, {"version", "6.1.7601 Service Pack 1"}, {"simulated", true}}));
  EXPECT_EQ(r["drive"]["serial"], "S1");
  EXPECT_EQ(r["drive"]["sectors"], 49152);
  EXPECT_EQ(r["drive"]["sector_size"], 512);
  EXPECT_EQ(r["drive"]["capacity"], 24 * kMiB);
  EXPECT_EQ(r["drive"]["path"], "\\\\.\\PhysicalDrive0");
  EXPECT_EQ(r["mode"], (json{{"kind", "full"},
                             {"method", "zero-fill"},
                             {"ranges", {{{"offset", 0}, {"length", 24 * kMiB}}}}}));
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  EXPECT_TRUE(std::regex_match(r["start"].get<std::string>(), iso)) << r["start"];
  EXPECT_LE(r["start"].get<std::string>(), r["end"].get<std::string>());
  EXPECT_EQ(r["bytes_written"], 24 * kMiB);
  EXPECT_EQ(r["failed_blocks"], json::array());
  EXPECT_EQ(r["flush"],
            (json{{"attempted", true}, {"succeeded", true}, {"code", 0}, {"text", ""}}));
  EXPECT_EQ(r["verification"], (json{{"asked", true},
                                     {"ran", true},
                                     {"bytes_read", 24 * kMiB},
                                     {"bad_blocks", json::array()}}));
  EXPECT_EQ(r["outcome"], "complete");
  EXPECT_TRUE(r["smart"].is_null());
  EXPECT_TRUE(r["firmware_erase"].is_null());
  EXPECT_TRUE(r["sample_check"].is_null());
  EXPECT_EQ(r["sanitization"], (json{{"nist_sp_800_88", "Clear"}, {"ieee_2883", "Clear"}}));
}

TEST_F(VerifyTest, QuickWipeReadsBackItsTwoRangesOnly) {
  ImageDrive(40 * kMiB);
  ui_.SetQuickWipe(true);
  EXPECT_TRUE(Run().FormatSelectedDevice());
  EXPECT_EQ(Record()["verification"]["bytes_read"], 10240000 + kMiB);
  EXPECT_EQ(Record()["mode"]["ranges"], (json{{{"offset", 0}, {"length", 10240000}},
                                              {{"offset", 39 * kMiB}, {"length", kMiB}}}));
  EXPECT_TRUE(HoldsPattern(ReadBytes(image_), 10240000, 39 * kMiB));
}

TEST_F(VerifyTest, BytesTheDriveSilentlyDroppedFailTheRun) {
  ImageDrive(24 * kMiB, R"(, "faults": {"silent_loss": [{"offset": 5000192, "length": 4096}]})");
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_EQ(LogFrom("校验中... "),
            (Lines{"校验中... ", "校验失败：偏移 5,000,192 处的数据不为零",
                   "校验结束，但有 1 个块未通过校验。", kNoHiddenAreaAnswer, "",
                   "别忘了创建一个新的分区。", "擦除记录已保存: " + RecordPath()}));
  const json r = Record();
  EXPECT_EQ(r["outcome"], "failed");
  EXPECT_EQ(r["bytes_written"], 24 * kMiB);  // as the drive reported it
  ASSERT_EQ(r["verification"]["bad_blocks"].size(), 1u);
  const json& bad = r["verification"]["bad_blocks"][0];
  EXPECT_EQ(bad["error"], "not-zero");
  EXPECT_EQ(bad["first_nonzero"], 5000192);
  EXPECT_LE(bad["offset"].get<int64_t>(), 5000192);
  EXPECT_GT(bad["offset"].get<int64_t>() + bad["length"].get<int64_t>(), 5000192 + 4095);
}

TEST_F(VerifyTest, ReadErrorsFailTheReadBackAndAGoneDriveAbortsIt) {
  ImageDrive(24 * kMiB, R"(, "faults": {"read_errors": [{"offset": 0, "code": 1117}]})");
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_EQ(Log()[Log().size() - 6],
            "校验失败：偏移 0 处读取错误: 1117 - The request could not be "
            "performed because of an I/O device error.");
  EXPECT_EQ(Log()[Log().size() - 5], "校验结束，但有 1 个块未通过校验。");
  EXPECT_EQ(Record()["verification"]["bad_blocks"][0]["code"], 1117);
  EXPECT_EQ(Record()["outcome"], "failed");

  ImageDrive(24 * kMiB, R"(, "faults": {"read_errors": [{"offset": 65536, "code": 55}]})");
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_EQ(
      LogFrom("校验中... "),
      (Lines{"校验中... ",
             "校验失败：偏移 65,536 处读取错误: 55 - The specified network resource or device "
             "is no longer available.",
             "设备已拔下，中止...", "操作以偏移方式终止 65,536    LBA 128", kNoHiddenAreaAnswer, "",
             "别忘了创建一个新的分区。", "擦除记录已保存: " + RecordPath()}));
  EXPECT_EQ(Record()["outcome"], "aborted");
  EXPECT_EQ(Record()["verification"]["bytes_read"], 65536);
}

// Past the first 4 MiB (blocks of 64 KiB to 2 MiB) blocks of 4 MiB are read
// several at once; they are still logged and recorded in the drive's order,
// and a block read ahead of a gone drive's failure is not counted.
TEST_F(VerifyTest, BlocksReadAtOnceAreReportedInTheirOrder) {
  ImageDrive(40 * kMiB, R"(, "faults": {"silent_loss": [{"offset": 12582912, "length": 4096}],
                        "read_errors": [{"offset": 20971520, "code": 1117},
                                        {"offset": 29360128, "code": 55}]})");
  EXPECT_FALSE(Run().FormatSelectedDevice());
  const Lines log = LogFrom("校验中... ");
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(Lines(log.begin() + 1, log.begin() + 6),
            (Lines{"校验失败：偏移 12,582,912 处的数据不为零",
                   "校验失败：偏移 20,905,984 处读取错误: 1117 - The request could not be "
                   "performed because of an I/O device error.",
                   "校验失败：偏移 29,294,592 处读取错误: 55 - The specified network resource or "
                   "device is no longer available.",
                   "设备已拔下，中止...", "操作以偏移方式终止 29,294,592    LBA 57,216"}));
  const json r = Record();
  EXPECT_EQ(r["outcome"], "aborted");
  EXPECT_EQ(r["verification"]["bytes_read"], 29294592 - 4 * kMiB);  // the 1117 block gave none
  std::vector<int64_t> offsets;
  for (const json& b : r["verification"]["bad_blocks"]) offsets.push_back(b["offset"]);
  EXPECT_EQ(offsets, (std::vector<int64_t>{12517376, 20905984, 29294592}));
}

TEST_F(VerifyTest, StopDuringTheReadBackCancelsIt) {
  ImageDrive(24 * kMiB);
  int reads = 0;
  ui_.OnPump = [&] {
    if (!LogFrom("校验中... ").empty() && ++reads == 3) Run().StopButtonClicked();
  };
  EXPECT_FALSE(Run().FormatSelectedDevice());
  EXPECT_FALSE(Run().StopRequested());
  // Two blocks were read before the stop was seen: 64 KiB, then 128 KiB
  // (a fast drive's blocks double).
  EXPECT_EQ(LogFrom("校验中... ")[1], "在偏移时取消操作196,608    LBA 384");
  EXPECT_EQ(Record()["outcome"], "cancelled");
  EXPECT_EQ(Record()["verification"]["bytes_read"], 196608);
}

TEST_F(VerifyTest, EveryRunPastTheConfirmationLeavesARecord) {
  const std::string smart = R"(, "bus_type": 3, "identify_file": ")" +
                            DriveDataDir("WDC_WD5000AAKS--00TMA0-12.01C01") +
                            R"(/identify.bin", "smart_file": ")" +
                            DriveDataDir("WDC_WD5000AAKS--00TMA0-12.01C01") + R"(/smart.bin")";
  struct TCase {
    std::string More;
    const char* Outcome;
  } cases[] = {
      {R"(, "faults": {"write_errors": [{"offset": 0, "code": 121}]})", "failed"},
      {R"(, "faults": {"vanish_at": 1048576})", "aborted"},
      {R"(, "volumes": [{"root": "C:", "in_use": true}])", "not-locked"},
      {smart, "complete"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Outcome);
    ImageDrive(24 * kMiB, c.More);
    ui_.SetVerify(false);
    Run().FormatSelectedDevice();
    const json r = Record();
    EXPECT_EQ(r["outcome"], c.Outcome);
    EXPECT_EQ(r["verification"]["asked"], false);
    EXPECT_EQ(r["verification"]["ran"], false);
    if (r["outcome"] == "failed") {
      EXPECT_EQ(r["failed_blocks"][0],
                (json{{"offset", 0},
                      {"length", 65536},
                      {"error", "write"},
                      {"code", 121},
                      {"text", "The semaphore timeout period has expired."}}));
      EXPECT_EQ(r["bytes_written"], 24 * kMiB - 65536);
    } else if (r["outcome"] == "aborted") {
      EXPECT_EQ(r["failed_blocks"][0]["code"], 55);
      EXPECT_EQ(r["bytes_written"], kMiB);
    } else if (r["outcome"] == "not-locked") {
      EXPECT_EQ(r["bytes_written"], 0);
      EXPECT_EQ(r["flush"]["attempted"], false);
    } else {
      ASSERT_TRUE(r["smart"].is_object());
      EXPECT_FALSE(r["smart"]["before"].empty());
      EXPECT_EQ(r["smart"]["before"], r["smart"]["after"]);
      EXPECT_EQ(r["smart"]["before"][0],
                (json{{"id", 1}, {"value", 200}, {"worst", 200}, {"raw", 18}}));
      EXPECT_EQ(r["drive"]["bus"], "ATA");
    }
  }
}

// The scan tests whole chunks at once: a lone byte is found wherever it lies
// in or around a chunk, from any alignment, and nothing past the end is read.
TEST(FirstNonZero, FindsALoneByteAtEveryPlaceFromAnyAlignment) {
  std::vector<uint8_t> bytes(1200, 0);
  const size_t shifts[] = {0, 1, 7};
  const size_t sizes[] = {0, 1, 255, 256, 257, 600, 1024};
  for (const size_t shift : shifts) {
    uint8_t* p = bytes.data() + shift;
    for (const size_t size : sizes) {
      EXPECT_EQ(FirstNonZero(p, size), size);
      p[size] = 1;  // just past the end
      EXPECT_EQ(FirstNonZero(p, size), size) << shift << " " << size;
      p[size] = 0;
      for (size_t at = 0; at < size; ++at) {
        p[at] = 0x80;
        if (at + 1 < size) p[size - 1] = 1;  // a later one does not hide it
        ASSERT_EQ(FirstNonZero(p, size), at) << shift << " " << size;
        p[at] = p[size - 1] = 0;
      }
    }
  }
}

TEST(EraseRecordFile, NameKeepsTheSerialSafeAndTheTimeWithoutColons) {
  EXPECT_EQ(EraseRecordFileName("WD-WCAV/123 4", "2026-12-08T14:30:05.123Z"),
            "quarnel-erase-WD-WCAV_123_4-20261208T143005.123Z.json");
  EXPECT_EQ(EraseRecordFileName("", "2026-12-08T14:30:05.123Z"),
            "quarnel-erase-unknown-20261208T143005.123Z.json");
}

// Loop devices all say "000000": a batch's drives may start in one millisecond.
TEST(EraseRecordFile, ATakenNameGetsANumberAndNothingThereIsOpened) {
  test::TTempFolder dir("record-name");
  const std::string folder = dir.Path().generic_string();
  const std::string time = "2026-12-08T14:30:05.123Z";
  std::string path, error;
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    TKeptFile file;
    ASSERT_TRUE(CreateEraseRecordFile(&file, folder, "000000", time, &path, &error)) << error;
    ASSERT_TRUE(file.Replace("run " + std::to_string(i), &error)) << error;
    names.push_back(fs::path(path).filename().string());
  }
  EXPECT_EQ(names, (Lines{"quarnel-erase-000000-20261208T143005.123Z.json",
                          "quarnel-erase-000000-20261208T143005.123Z-2.json",
                          "quarnel-erase-000000-20261208T143005.123Z-3.json"}));
  const std::vector<uint8_t> first = test::ReadBytes((dir / names[0]).string());
  EXPECT_EQ(std::string(first.begin(), first.end()), "run 0");
#ifndef _WIN32
  // A name held by something other than a regular file is not stepped over.
  fs::create_directory_symlink(dir.Path(), dir / "quarnel-erase-LINK-20261208T143005.123Z.json");
  TKeptFile file;
  EXPECT_FALSE(CreateEraseRecordFile(&file, folder, "LINK", time, &path, &error));
  EXPECT_EQ(error, "it is a symbolic link");
#endif
}

}  // namespace
}  // namespace quarnel::test
