// The certificate page made from a record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/Logging.h"
#include "erase/EraseRecord.h"
#include "record/Certificate.h"
#include "record/CertificateFile.h"
#include "record/EraseRecordFile.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

using json = nlohmann::json;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

json Record() {
  return json::parse(R"({
    "drive": {"model": "<script>alert(1)</script>", "serial": "S&N", "firmware": "1.0",
              "bus": "ATA", "sectors": 1000, "sector_size": 512, "capacity": 512000},
    "host": {"system": "Linux", "version": "6.1.0", "simulated": false},
    "mode": {"kind": "full", "method": "zero-fill", "ranges": [{"offset": 0, "length": 512000}]},
    "start": "2026-12-31T23:59:59.500Z", "end": "2027-01-01T00:01:01.000Z",
    "bytes_written": 512000, "failed_blocks": [],
    "verification": {"asked": false, "ran": false, "bytes_read": 0, "bad_blocks": []},
    "hidden_area": {"determined": true, "reason": "", "current_max": 1000, "native_max": 1200,
                    "dco_max": null, "hidden_sectors": 200, "erased": false},
    "coverage": "visible-sectors-only",
    "speed_samples": [{"seconds": 0.0, "bytes": 0}, {"seconds": 1.0, "bytes": 256000},
                      {"seconds": 2.0, "bytes": 512000}],
    "outcome": "complete",
    "smart": {"before": [{"id": 5, "value": 100, "worst": 100, "raw": 0},
                         {"id": 194, "value": 30, "worst": 40, "raw": 30}],
              "after": [{"id": 5, "value": 99, "worst": 99, "raw": 8}]},
    "seal": {"algorithm": "sha-256", "sha256": "ab12", "version": "4.40", "signature": null}})");
}

std::string Page(const json& record, TSealResult seal = TSealResult::Intact) {
  TSealCheck check;
  check.Seal = seal;
  std::string html, error;
  EXPECT_TRUE(CertificateHtml(record, check, false, &html, &error)) << error;
  return html;
}

TEST(CertificateTest, PageShowsTheRecordEscapedWithoutScripts) {
  const std::string page = Page(Record());
  EXPECT_FALSE(Has(page, "<script")) << page;
  EXPECT_TRUE(Has(page, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(Has(page, "<b>S&amp;N</b>"));
  EXPECT_TRUE(Has(page, "0:01:01.5"));  // across the year's end
  EXPECT_TRUE(Has(page, "0.3 MB/s"));   // the writing's own speed, from its samples
  EXPECT_TRUE(Has(page, "隐藏扇区 200，<b>未被擦除</b>"));
  EXPECT_TRUE(Has(page, "仅可见扇区"));
  EXPECT_TRUE(Has(page, "<tr class=\"changed\"><td>5</td>"));  // remapped sectors grew
  EXPECT_FALSE(Has(page, "<td>194</td>"));                     // temperature does not count
  EXPECT_TRUE(Has(page, "<code>ab12</code>"));
  EXPECT_FALSE(Has(page, "快速擦除"));
  EXPECT_TRUE(Has(page, "<polyline points=\""));
  EXPECT_EQ(page.find("http"), page.find("http://www.w3.org/2000/svg"));  // nothing from outside
}

TEST(CertificateTest, QuickWipeSaysWhatWasNotWrittenAndLongListsAreCut) {
  json r = Record();
  r["mode"]["kind"] = "quick";
  r["mode"]["ranges"] = json::parse(R"([{"offset": 0, "length": 10240000},
                                        {"offset": 500000000, "length": 1048576}])");
  for (int i = 0; i < 10; ++i) {
    r["failed_blocks"].push_back({{"offset", i * 65536},
                                  {"length", 65536},
                                  {"error", "write"},
                                  {"code", 121},
                                  {"text", "t"}});
  }
  r["speed_samples"] = json::array();
  const std::string page = Page(r, TSealResult::Altered);
  EXPECT_TRUE(Has(page, "只有下列字节范围被写入零。驱动器的其余部分未被写入"));
  EXPECT_TRUE(Has(page, "字节 500,000,000 – 501,048,575"));
  EXPECT_TRUE(Has(page, "另有 7 个"));
  EXPECT_TRUE(Has(page, "记录中没有足够的速度样本"));
  EXPECT_TRUE(Has(page, "记录已被更改"));
}

// Numbers no drive has would overflow the page's sums and formatting.
TEST(CertificateTest, RecordWithNumbersOutOfRangeIsRefused) {
  for (const char* change : {R"({"speed_samples": [{"seconds": 0, "bytes": 0},
                                                    {"seconds": 1, "bytes": 1e300}]})",
                             R"({"mode": {"ranges": [{"offset": 9000000000000000000,
                                                     "length": 9000000000000000000}]}})",
                             R"({"drive": {"capacity": -9223372036854775808}})"}) {
    json r = Record();
    r.merge_patch(json::parse(change));
    std::string html = "unchanged", error;
    EXPECT_FALSE(CertificateHtml(r, TSealCheck{}, false, &html, &error)) << change;
    EXPECT_EQ(html, "unchanged");
    EXPECT_NE(error.find("2^53"), std::string::npos) << error;
  }
}

// The desktop's button: the page beside the record, again on a second press;
// none for a record changed since.
TEST(CertificateTest, ButtonWritesThePageBesideAnIntactRecordOnly) {
  test::TTempFolder dir("certificate");
  const std::string record = (dir / "quarnel-erase-S1.json").string();
  TEraseRecord r;
  r.Serial = "S1";
  std::ofstream(record) << EraseRecordJson(r, true);
  const std::string page = (dir / "quarnel-erase-S1.html").string();
  EXPECT_EQ(SaveCertificateFor(record), page);
  EXPECT_EQ(SaveCertificateFor(record), page);
  EXPECT_TRUE(std::filesystem::file_size(page) > 1000);
  EXPECT_EQ(Log_BenchMark.Lines().back().substr(Log_BenchMark.Lines().back().find("擦除")),
            "擦除证书已保存: " + page);
  std::ofstream(record, std::ios::app) << " {}";
  EXPECT_EQ(SaveCertificateFor(record), "");
  EXPECT_NE(Log_BenchMark.Lines().back().find("无法生成擦除证书: " + page +
                                              " - the record is altered (not a JSON object)"),
            std::string::npos)
      << Log_BenchMark.Lines().back();
}

}  // namespace
}  // namespace quarnel
