#include "batch/BatchProtocol.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

std::vector<TMemberEvent> Read(const std::string& output, size_t piece) {
  TMemberStream stream;
  for (size_t at = 0; at < output.size(); at += piece) {
    stream.Feed(output.data() + at, std::min(piece, output.size() - at));
  }
  stream.End();
  std::vector<TMemberEvent> events;
  TMemberEvent e;
  while (stream.Next(&e)) events.push_back(e);
  return events;
}

TEST(BatchProtocol, OrderCarriesEveryOptionAndTheDriveBytesExactly) {
  TRunOrder o;
  o.Number = 200;
  o.Identity.Read = true;
  o.Identity.HasSequence = true;
  o.Identity.Sequence = 18446744073709551615u;  // beyond a JSON number's exact range
  o.Identity.Length = 1000204886016;
  o.Identity.Model = std::string("WD\0\xff\"", 5);  // bytes, not UTF-8
  o.Identity.Serial = "S/N 1";
  o.Path = "\\\\.\\PhysicalDrive7";
  o.Quick = o.Verify = o.Debug = true;
  o.Firmware = "crypto";
  o.RecordDir = "/tmp/记录";
  o.Context = {"张三", "Org", "Bench 2", "A-17"};
  o.StopBelowMBps = 12.5;
  o.StopAboveCelsius = 55;
  TRunOrder back;
  std::string error;
  ASSERT_TRUE(ReadRunOrder(RunOrderJson(o), &back, &error)) << error;
  EXPECT_EQ(back.Number, 200);
  EXPECT_TRUE(back.Identity.HasSequence);
  EXPECT_EQ(back.Identity.Sequence, o.Identity.Sequence);
  EXPECT_EQ(back.Identity.Length, o.Identity.Length);
  EXPECT_EQ(back.Identity.Model, o.Identity.Model);
  EXPECT_EQ(back.Path, o.Path);
  EXPECT_TRUE(back.Quick && back.Verify && back.Debug);
  EXPECT_EQ(back.Firmware, "crypto");
  EXPECT_EQ(back.RecordDir, o.RecordDir);
  EXPECT_EQ(back.Context.Operator, "张三");
  EXPECT_EQ(back.Context.AssetTag, "A-17");
  EXPECT_EQ(back.StopBelowMBps, 12.5);
  EXPECT_EQ(back.StopAboveCelsius, 55);

  // The member's command line: its own drive alone, then the order.
  const std::vector<std::string> args = MemberArguments(o);
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], "--devices=\\\\.\\PhysicalDrive7");
  EXPECT_EQ(args[1], "--debug");
  EXPECT_EQ(args[3], "--batch-member=" + RunOrderJson(o));

  for (const char* bad : {"", "[]", "{\"number\": 1}",
                          // a drive number out of range, a wrong type, odd hex
                          "{\"number\": 0}", "{\"number\": \"1\"}"}) {
    EXPECT_FALSE(ReadRunOrder(bad, &back, &error)) << bad;
  }
  std::string text = RunOrderJson(o);
  text.replace(text.find("\"serial_hex\":\""), 14, "\"serial_hex\":\"z");
  EXPECT_FALSE(ReadRunOrder(text, &back, &error));
  EXPECT_NE(error.find("identity"), std::string::npos);
}

TEST(BatchProtocol, SupervisorTellsEventsFromAnyOtherOutput) {
  TEraseRecord record;
  record.Model = "M";
  record.Serial = "S";
  record.Outcome = TEraseOutcome::Complete;
  record.BytesWritten = 4096;
  TRunEnd end;
  end.Record = &record;
  end.RecordFile = "/r/x.json";
  end.Seconds = 2.5;
  const std::string output = LogEvent("格式化中... ") + "glibc says something\n" +
                             ProgressEvent({10, 20, 300, 1}) +
                             "\x1e{\"event\": \"progress\", \"done\": 30, \"total\": 20, "
                             "\"elapsed_ms\": 1, \"pass\": 1}\n" +  // more done than there is
                             "\x1e{\"event\": \"outcome\", \"exit_status\": 0, \"seconds\": \"x\"}\n" +
                             "\x1e{not json\n" + OutcomeEvent(end) + "\x1e{\"event\": \"log\", \"te";
  // However the pipe cuts it up, the same events come out.
  for (const size_t piece : {output.size(), size_t{1}, size_t{7}}) {
    const std::vector<TMemberEvent> e = Read(output, piece);
    ASSERT_EQ(e.size(), 8u) << piece;
    EXPECT_EQ(e[0].Text, "格式化中... ");
    EXPECT_FALSE(e[0].Stray);
    EXPECT_TRUE(e[1].Stray);
    EXPECT_EQ(e[2].Kind, TMemberEvent::TKind::Progress);
    EXPECT_EQ(e[2].Progress.Done, 10);
    EXPECT_EQ(e[2].Progress.ElapsedMs, 300);
    EXPECT_TRUE(e[3].Stray);  // refused, not believed
    // A wrong type is read as missing, not thrown.
    EXPECT_EQ(e[4].Kind, TMemberEvent::TKind::Outcome);
    EXPECT_EQ(e[4].Row.Outcome, TRowOutcome::Refused);
    EXPECT_EQ(e[4].Row.Seconds, 0);
    EXPECT_TRUE(e[5].Stray);
    EXPECT_EQ(e[6].Kind, TMemberEvent::TKind::Outcome);
    EXPECT_EQ(e[6].Row.Outcome, TRowOutcome::Complete);
    EXPECT_EQ(e[6].Row.BytesWritten, 4096);
    EXPECT_EQ(e[6].Row.RecordFile, "/r/x.json");
    EXPECT_EQ(e[6].Row.Seconds, 2.5);
    EXPECT_EQ(e[6].Row.Verification, "not-asked");
    EXPECT_TRUE(e[7].Stray);  // the half line of a member that died while writing
  }
}

TEST(BatchProtocol, EndlessLineIsCutAndTheNextOneReadAgain) {
  TMemberStream stream;
  const std::string junk(1 << 20, 'x');
  for (size_t i = 0; i <= TMemberStream::kLongestEvent / junk.size() + 2; ++i) {
    stream.Feed(junk.data(), junk.size());
  }
  const std::string tail = "still the same line\n" + LogEvent("next");
  stream.Feed(tail.data(), tail.size());
  TMemberEvent e;
  ASSERT_TRUE(stream.Next(&e));
  EXPECT_TRUE(e.Stray);
  EXPECT_NE(e.Text.find("cut"), std::string::npos);
  EXPECT_LT(e.Text.size(), 400u);
  ASSERT_TRUE(stream.Next(&e));
  EXPECT_EQ(e.Text, "next");
  EXPECT_FALSE(e.Stray);
  EXPECT_FALSE(stream.Next(&e));
}

}  // namespace
}  // namespace quarnel
