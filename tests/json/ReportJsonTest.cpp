#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "json/ReportJson.h"

namespace quarnel {
namespace {

// Bytes that are no UTF-8, and control characters, wherever a drive or the
// system gives a text: the document is still valid JSON and shows them escaped.
TEST(ReportJson, MalformedDriveTextsGiveValidJson) {
  TDeviceTable entry;
  entry.IdentifyData.Model = "M\xff\xc3(\x1b[31m";
  entry.IdentifyData.SN = std::string("S\x80\0x", 4);
  entry.IdentifyData.FW = "\xed\xa0\x80";  // an encoded surrogate
  entry.DevicePath = "/dev/\xfe";
  TJsonDrive drive{1, &entry, {}, {"/mnt/\xc3"}};
  const nlohmann::json list = nlohmann::json::parse(DriveListJson({drive}, "\x01"));
  const nlohmann::json& d = list["drives"][0];
  EXPECT_EQ(d["model"], "M\\xff\\xc3(\\x1b[31m");
  EXPECT_EQ(d["path"], "/dev/\\xfe");
  EXPECT_EQ(d["volumes"][0], "/mnt/\\xc3");
  EXPECT_EQ(d["sector_size"], nullptr);  // not known
  TDetailsFacts details;
  details.IdentifyRead = true;
  details.Passport.name = "\xc0\xaf";
  EXPECT_NO_THROW(nlohmann::json::parse(DetailsJson(drive, details)));
}

// Thresholds are matched by id, wherever the page lists them; 0 never fails.
TEST(ReportJson, SmartThresholdsAndFailingNow) {
  TSmartFacts f;
  f.Read = true;
  f.ThresholdsRead = true;
  const auto entry = [&f](int slot, uint8_t id, uint8_t current, uint8_t worst) {
    uint8_t* e = f.Page.data() + 2 + 12 * slot;
    e[0] = id;
    e[1] = 0x01;  // pre-failure
    e[3] = current;
    e[4] = worst;
    e[5] = 0x34;
    e[10] = 0x12;
  };
  entry(0, 5, 30, 30);
  entry(1, 9, 90, 40);
  entry(2, 194, 10, 10);
  const auto threshold = [&f](int slot, uint8_t id, uint8_t value) {
    f.Thresholds[2 + 12 * slot] = id;
    f.Thresholds[3 + 12 * slot] = value;
  };
  threshold(0, 9, 50);  // out of place
  threshold(1, 5, 36);
  threshold(2, 194, 0);
  TDeviceTable table;
  const nlohmann::json j = nlohmann::json::parse(SmartJson({1, &table, {}, {}}, f));
  const nlohmann::json& a = j["attributes"];
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0]["threshold"], 36);
  EXPECT_TRUE(a[0]["failing_now"].get<bool>());
  EXPECT_EQ(a[0]["raw"], 0x120000000034);
  EXPECT_EQ(a[0]["raw_bytes"], "340000000012");
  EXPECT_EQ(a[1]["threshold"], 50);
  EXPECT_FALSE(a[1]["failing_now"].get<bool>());
  EXPECT_TRUE(a[1]["failed_in_past"].get<bool>());
  EXPECT_FALSE(a[2]["failing_now"].get<bool>());
}

}  // namespace
}  // namespace quarnel
