// The seal: canonical form, the hash over it, and signatures.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "erase/EraseRecord.h"
#include "record/EraseRecordFile.h"
#include "record/RecordSeal.h"

namespace quarnel {
namespace {

using json = nlohmann::json;

TEraseRecord SampleRecord() {
  TEraseRecord r;
  r.Model = "XD500 \"A\"\\B";
  r.Serial = "5XA0TEST";
  r.Sectors = 976773168;
  r.SectorSize = 512;
  r.Capacity = r.Sectors * 512;
  r.Ranges = ErasedRanges(false, r.Capacity);
  r.Start = "2026-12-08T14:30:05.123Z";
  r.SpeedSamples = {{0, 0}, {1.25, 100000000}};
  r.Outcome = TEraseOutcome::Complete;
  return r;
}

// Cases from RFC 8785 and ECMAScript's number forms.
TEST(RecordSealTest, CanonicalFormFollowsRfc8785) {
  EXPECT_EQ(CanonicalNumber(0.0), "0");
  EXPECT_EQ(CanonicalNumber(-0.0), "0");
  EXPECT_EQ(CanonicalNumber(1.25), "1.25");
  EXPECT_EQ(CanonicalNumber(100), "100");
  EXPECT_EQ(CanonicalNumber(1e21), "1e+21");
  EXPECT_EQ(CanonicalNumber(1e20), "100000000000000000000");
  EXPECT_EQ(CanonicalNumber(0.000001), "0.000001");
  EXPECT_EQ(CanonicalNumber(1e-7), "1e-7");
  EXPECT_EQ(CanonicalNumber(-5e-324), "-5e-324");
  EXPECT_EQ(CanonicalNumber(333333333.33333329), "333333333.3333333");
  EXPECT_EQ(CanonicalNumber(9007199254740992.0), "9007199254740992");
  // Keys by UTF-16 code units: U+1F600 (D83D DE00) sorts before U+FB33.
  const json value = json::parse(
      R"({"\ufb33":1,"\ud83d\ude00":2,"b":[true,null,"\u0007\n\"\\/é"],"a":{"y":1.5,"x":-2}})");
  EXPECT_EQ(CanonicalJson(value),
            "{\"a\":{\"x\":-2,\"y\":1.5},\"b\":[true,null,\"\\u0007\\n\\\"\\\\/é\"],"
            "\"\xF0\x9F\x98\x80\":2,\"\xEF\xAC\xB3\":1}");
}

TEST(RecordSealTest, SealHoldsUntilOneByteChanges) {
  const std::string text = EraseRecordJson(SampleRecord(), true);
  const json record = json::parse(text);
  ASSERT_TRUE(record["seal"].is_object());
  EXPECT_EQ(record["seal"]["version"], QUARNEL_VERSION);
  EXPECT_EQ(record["seal"]["sha256"].get<std::string>().size(), 64u);
  EXPECT_EQ(CheckRecordSeal(text, nullptr).Seal, TSealResult::Intact);

  // White space and key order do not count.
  json reordered = json::parse(text);  // sorted keys
  EXPECT_EQ(CheckRecordSeal(reordered.dump(), nullptr).Seal, TSealResult::Intact);
  EXPECT_EQ(CheckRecordSeal(reordered.dump(7), nullptr).Seal, TSealResult::Intact);

  // One byte of the content, the seal itself, a key given twice, no seal.
  std::string altered = text;
  altered[altered.find("5XA0TEST")] = '6';
  EXPECT_EQ(CheckRecordSeal(altered, nullptr).Seal, TSealResult::Altered);
  std::string badSeal = text;
  const size_t hash = badSeal.find("\"sha256\": \"") + 11;
  badSeal[hash] = badSeal[hash] == 'a' ? 'b' : 'a';
  EXPECT_EQ(CheckRecordSeal(badSeal, nullptr).Seal, TSealResult::Altered);
  std::string twice = text;
  twice.insert(twice.find("\"start\""), "\"start\": \"1999-01-01T00:00:00.000Z\",\n  ");
  EXPECT_EQ(CheckRecordSeal(twice, nullptr).Seal, TSealResult::Altered);
  json unsealed = json::parse(text);
  unsealed.erase("seal");
  EXPECT_EQ(CheckRecordSeal(unsealed.dump(), nullptr).Seal, TSealResult::Unsealed);
  EXPECT_EQ(CheckRecordSeal("[1,2]", nullptr).Seal, TSealResult::Altered);
  EXPECT_EQ(CheckRecordSeal("{\"seal\":", nullptr).Seal, TSealResult::Altered);
  const std::string deep = "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_EQ(CheckRecordSeal(deep, nullptr).Reason, "nested deeper than any record");
}

TEST(RecordSealTest, SealCoversTextsThatAreNotUtf8) {
  TEraseRecord r = SampleRecord();
  r.Model = "bad \xFF\xFE bytes";
  EXPECT_EQ(CheckRecordSeal(EraseRecordJson(r, false), nullptr).Seal, TSealResult::Intact);
}

// Doubles hold integers exactly only below 2^53: above, 2^63 - 512 and
// 2^63 - 1 would share one canonical form, and one seal.
TEST(RecordSealTest, IntegersFrom2To53AreToldApart) {
  TEraseRecord r = SampleRecord();
  r.Capacity = 9223372036854775296;
  const std::string text = EraseRecordJson(r, true);
  EXPECT_EQ(CheckRecordSeal(text, nullptr).Seal, TSealResult::Intact);
  std::string forged = text;
  forged.replace(forged.find("9223372036854775296"), 19, "9223372036854775807");
  EXPECT_EQ(CheckRecordSeal(forged, nullptr).Seal, TSealResult::Altered);
  // Such a number itself, as a sealed record would have held it before.
  json j = json::parse(text);
  j["drive"]["capacity"] = 9223372036854775807;
  const TSealCheck check = CheckRecordSeal(j.dump(), nullptr);
  EXPECT_EQ(check.Seal, TSealResult::Altered);
  EXPECT_NE(check.Reason.find("2^53"), std::string::npos) << check.Reason;
}

}  // namespace
}  // namespace quarnel
