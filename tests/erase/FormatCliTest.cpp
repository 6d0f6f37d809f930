// quarnel-cli format: the typed confirmation, --yes, the exit status, the
// progress line and the stop signals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "app/StartUp.h"
#include "cli/CliApp.h"
#include "host/Host.h"
#include "host/sim/SimHost.h"
#include "support/CliFixture.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

namespace fs = std::filesystem;

class FormatCli : public CliTest {
 protected:
  // A machine with one drive of `length` bytes; `extra` adds keys to it.
  std::string Description(int64_t length, const std::string& extra = "") {
    return File("machine.json", R"({"drives": [{"number": 0, "length": )" +
                                    std::to_string(length) +
                                    R"(, "product": "TESTDISK", "serial": "S1")" + extra + "}]}");
  }

  TSimDrive& Drive() { return *static_cast<SimHost&>(GetHost()).Drive(0); }
};

using Ranges = std::vector<std::pair<int64_t, int64_t>>;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(FormatCli, OnlyATypedYesGoesAhead) {
  const std::string machine = "--simulate=" + Description(64LL * 1048576);
  EXPECT_EQ(Run({machine, "format", "1"}, "yes\n", true), 0) << err_;
  EXPECT_TRUE(
      ErrHas("警告\n所选设备上的所有数据将丢失\n\n你真的确认你要删除 该设备上的所有数据吗?\n\n[1]  "
             "TESTDISK"))
      << err_;
  // What the warning does not name: which node, which serial, what is written.
  EXPECT_TRUE(
      ErrHas("Serial: S1\nPath: \\\\.\\PhysicalDrive0\nMode: full: zeros over "
             "every sector\nUnmounted first: nothing is mounted\n"))
      << err_;
  EXPECT_TRUE(OutHas("低级格式完成。"));
  EXPECT_EQ(Drive().Written, (Ranges{{0, 64LL * 1048576}}));

  for (const char* answer : {"no\n", "y\n", "YES\n", "\n", ""}) {
    SCOPED_TRACE(answer);
    EXPECT_EQ(Run({machine, "format", "1"}, answer, true), 3);
    // Ctrl+D (no line at all) ends the question's line before the answer.
    EXPECT_TRUE(ErrHas(std::string(*answer ? ": " : ": \n") + "Cancelled. Nothing was done."))
        << err_;
    EXPECT_FALSE(OutHas("锁定设备... ")) << out_;
    EXPECT_TRUE(Drive().Writes.empty());
  }
}

TEST_F(FormatCli, WithoutATerminalOnlyYesOptionGoesAhead) {
  const std::string machine = "--simulate=" + Description(64LL * 1048576);
  EXPECT_EQ(Run({machine, "format", "1"}, "yes\n", false), 2);
  EXPECT_TRUE(ErrHas("no terminal to answer at")) << err_;
  EXPECT_TRUE(Drive().Writes.empty());
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--quick"}, "", false), 0) << err_;
  EXPECT_EQ(Drive().Written, (Ranges{{0, 10240000}, {63LL * 1048576, 64LL * 1048576}}));
  EXPECT_EQ(Run({machine, "list", "--quick"}, "", false), 2);
  EXPECT_EQ(Run({machine, "format", "2", "--yes"}, "", false), 1);
  EXPECT_TRUE(ErrHas("no drive 2 in the list; these were found:\n  1  TESTDISK  serial S1  "))
      << err_;
}

TEST_F(FormatCli, DrivesAreNamedByNumberSerialOrPathAndAnAmbiguousNameIsRefused) {
  const std::string path = (dir_ / "machine.json").string();
  std::ofstream(path) << R"({"drives": [
    {"number": 0, "length": 67108864, "product": "A", "serial": "S1"},
    {"number": 1, "length": 67108864, "product": "B", "serial": "TWIN"},
    {"number": 2, "length": 67108864, "product": "C", "serial": "TWIN"}]})";
  const std::string machine = "--simulate=" + path;
  const auto sim = [] { return static_cast<SimHost*>(&GetHost()); };
  EXPECT_EQ(Run({machine, "format", "serial:S1", "--yes", "--quick"}, "", false), 0) << err_;
  EXPECT_FALSE(sim()->Drive(0)->Writes.empty());
  EXPECT_TRUE(sim()->Drive(1)->Writes.empty());
  EXPECT_EQ(Run({machine, "format", R"(path:\\.\PhysicalDrive2)", "--yes", "--quick"}, "", false),
            0)
      << err_;
  EXPECT_FALSE(sim()->Drive(2)->Writes.empty());
  EXPECT_TRUE(ErrHas("[3]  C")) << err_;  // the terminal's own number, as typed
  for (const char* name : {"serial:TWIN", "serial:NONE", "path:/dev/sdz", "serial:", "0"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Run({machine, "format", name, "--yes"}, "", false), 1);
    EXPECT_TRUE(ErrHas("these were found:\n  1  A  serial S1  \\\\.\\PhysicalDrive0\n  2  B"))
        << err_;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(sim()->Drive(i)->Writes.empty());
  }
}

TEST_F(FormatCli, ExitStatusIsZeroOnlyForACompleteRun) {
  const std::string machine =
      "--simulate=" +
      Description(64LL * 1048576, R"(, "faults": {"write_errors": [{"offset": 0, "code": 1117}]})");
  EXPECT_EQ(Run({machine, "format", "1", "--yes"}, "", false), 1);
  EXPECT_TRUE(OutHas("低级格式化结束，但有 1 个块写入失败，65,536 字节未被擦除。")) << out_;
}

TEST_F(FormatCli, ProgressLineIsRedrawnOnATerminalOnly) {
  const std::string machine = "--simulate=" + Description(64LL * 1048576);
  EXPECT_EQ(Run({machine, "format", "1", "--yes"}, "", false, true), 0);
  EXPECT_TRUE(ErrHas("\r\033[K")) << err_;
  EXPECT_TRUE(ErrHas("100% 完成   当前扇区: 131,072   ")) << err_;
  EXPECT_EQ(out_.find('\r'), std::string::npos);
  // Without a terminal: one plain line per percent, with the amounts and
  // the time, and nothing that steers a terminal.
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--verify"}, "", false, false), 0);
  EXPECT_EQ(err_.find('\r'), std::string::npos);
  EXPECT_TRUE(ErrHas("\n100% 完成   当前扇区: 131,072   ")) << err_;
  EXPECT_TRUE(ErrHas(" of 67.1 MB   elapsed ")) << err_;
  size_t lines = 0;
  for (size_t at = err_.find("% 完成"); at != std::string::npos; at = err_.find("% 完成", at + 1))
    ++lines;
  EXPECT_GE(lines, 2u);    // the run and the read-back each end at 100 %
  EXPECT_LE(lines, 202u);  // at most one line per percent of each
}

TEST_F(FormatCli, InterruptAndTerminateStopTheRunWithTheCancelLine) {
  // 200 MB at 20 MB/s: about ten seconds, stopped once it has written (however
  // loaded the machine).
  const std::string machine =
      Description(200LL * 1000 * 1000 / 512 * 512, R"(, "write_mb_per_s": 20)");
  for (const char* signal : {"INT", "TERM"}) {
    SCOPED_TRACE(signal);
    // A file of its own: the run's redirection may come after the first look.
    const std::string progress = (dir_ / (std::string("progress-") + signal + ".txt")).string();
    std::string out, err;
    const int status =
        RunCommand(std::string("sh -c '") + QUARNEL_CLI_PATH + " --simulate=" + machine +
                       " format 1 --yes </dev/null 2>" + progress + " & pid=$!; " +
                       "for i in $(seq 300); do grep -q \"[1-9]% \" " + progress +
                       " && break; sleep 0.1; done; kill -" + signal + " $pid; wait $pid'",
                   &out, &err);
    EXPECT_EQ(status, 3) << out << err;
    EXPECT_NE(out.find("在偏移时取消操作"), std::string::npos) << out;
    EXPECT_NE(out.find("别忘了创建一个新的分区。"), std::string::npos) << out;
  }
}

TEST_F(FormatCli, VerifyAndRecordDecideTheExitStatus) {
  const std::string record = (dir_ / "record.json").string();
  const std::string good = "--simulate=" + Description(40LL * 1048576);
  EXPECT_EQ(Run({good, "format", "1", "--yes", "--verify", "--record", record}, "", false), 0)
      << err_;
  EXPECT_TRUE(OutHas("校验完成：所有已写入的扇区均为零。")) << out_;
  EXPECT_TRUE(OutHas("擦除记录已保存: " + record)) << out_;
  EXPECT_NE(ReadText(record).find("\"outcome\": \"complete\""), std::string::npos);

  const std::string lossy =
      "--simulate=" + Description(40LL * 1048576, R"(, "faults": {"silent_loss": )"
                                                  R"([{"offset": 1048576, "length": 512}]})");
  EXPECT_EQ(Run({lossy, "format", "1", "--yes", "--force", "--record=" + record}, "", false), 0);
  EXPECT_EQ(
      Run({lossy, "format", "1", "--yes", "--verify", "--force", "--record=" + record}, "", false),
      1);
  EXPECT_TRUE(OutHas("校验失败：偏移 1,048,576 处的数据不为零")) << out_;
  EXPECT_NE(ReadText(record).find("\"outcome\": \"failed\""), std::string::npos);
}

TEST_F(FormatCli, RecordThatCannotBeCreatedStopsTheFormatBeforeItStarts) {
  const std::string machine = "--simulate=" + Description(40LL * 1048576);
  const std::string record = (dir_ / "no-such-folder" / "record.json").string();
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--record", record}, "", false), 2);
  EXPECT_TRUE(ErrHas("cannot create the erase record " + record)) << err_;
  EXPECT_FALSE(OutHas("锁定设备... "));
  // Declined: no run, so no record and no empty file left behind.
  const std::string declined = (dir_ / "declined.json").string();
  EXPECT_EQ(Run({machine, "format", "1", "--record", declined}, "no\n", true), 3);
  EXPECT_FALSE(fs::exists(declined));
  EXPECT_EQ(Run({machine, "list", "--verify"}, "", false), 2);
}

// The record's name is taken as given, by a program that may run as root:
// nothing there is replaced without --force, and only a regular file is ever
// written, never through a link, never a device, never a FIFO.
TEST_F(FormatCli, RecordIsANewRegularFileUnlessForcedAndNeverALinkADeviceOrAFifo) {
  const std::string machine = "--simulate=" + Description(40LL * 1048576);
  const std::string existing = (dir_ / "existing.json").string();
  std::ofstream(existing) << "kept";
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--record", existing}, "", false), 2);
  EXPECT_TRUE(ErrHas("cannot create the erase record " + existing)) << err_;
  EXPECT_TRUE(ErrHas("--force")) << err_;
  EXPECT_FALSE(OutHas("锁定设备... "));
  EXPECT_EQ(ReadText(existing), "kept");
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--force", "--record", existing}, "", false), 0);
  EXPECT_NE(ReadText(existing).find("\"outcome\": \"complete\""), std::string::npos);

  const std::string victim = (dir_ / "victim").string();
  const std::string link = (dir_ / "link.json").string();
  const std::string fifo = (dir_ / "fifo.json").string();
  std::ofstream(victim) << "victim";
  fs::create_symlink(victim, link);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {link, std::string("/dev/null"), fifo}) {
    SCOPED_TRACE(path);
    for (const char* force : {"", "--force"}) {
      // A FIFO with no reader must not hold the program: run it apart, timed.
      std::string out, err;
      const int status =
          RunCommand("timeout 20 " + std::string(QUARNEL_CLI_PATH) + " " + machine +
                         " format 1 --yes " + force + " --record " + path + " </dev/null",
                     &out, &err);
      EXPECT_EQ(status, 2) << out << err;
      EXPECT_NE(err.find("cannot create the erase record " + path), std::string::npos) << err;
      EXPECT_EQ(out.find("锁定设备... "), std::string::npos) << out;
    }
  }
  EXPECT_EQ(ReadText(victim), "victim");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Run({machine, "list", "--force"}, "", false), 2);
}

}  // namespace
}  // namespace quarnel::test

namespace quarnel::test {
namespace {

// Standard input that is Ctrl+C: the read is interrupted and ends.
class TInterruptingBuffer : public std::streambuf {
 protected:
  int_type underflow() override {
    std::raise(SIGINT);
    return traits_type::eof();
  }
};

// One case for each status of the manual page's table.
TEST_F(FormatCli, EveryStatusOfTheManualPageHasACase) {
  const auto machine = [&](const std::string& extra) {
    return "--simulate=" + Description(64LL * 1048576, extra);
  };
  std::map<int, std::function<int()>> cases = {
      {0,
       [&] {
         return Run({machine(""), "format", "1", "--yes"}, "", false);
       }},
      {1,
       [&] {
         return Run({machine(R"(, "faults": {"write_errors": [{"offset": 0, "code": 23}]})"),
                     "format", "1", "--yes"},
                    "", false);
       }},
      {2,
       [&] {
         return Run({machine(""), "list", "-v"}, "", false);
       }},
      {3,
       [&] {
         return Run({machine(""), "format", "1"}, "no\n", true);
       }},
      {4,
       [&] {
         return Run({machine(R"(, "faults": {"vanish_at": 1048576})"), "format", "1", "--yes"}, "",
                    false);
       }},
      {5,
       [&] {
         return Run({machine(R"(, "faults": {"claim_holders": ["sdb1 is active swap"]})"), "format",
                     "1", "--yes"},
                    "", false);
       }},
      {6,
       [&] {
         return Run({"--simulate", "format", "1", "--quick", "--yes"}, "", false);
       }},
      {130,
       [&] {
         TInterruptingBuffer buffer;
         std::istream in(&buffer);
         std::ostringstream out, err;
         return RunCli("quarnel-cli", {machine(""), "format", "1"}, out, err, {&in, true, false});
       }},
  };
  // 7 is the Windows build's alone (no Ed25519 there): its case runs under wine.
  std::ifstream page(std::string(QUARNEL_TEST_DATA) + "/../../docs/man/quarnel-cli.1.scd");
  int rows = 0;
  for (std::string line; std::getline(page, line);) {
    int status = -1;
    if (std::sscanf(line.c_str(), "|  *%d*", &status) != 1 || status == 7) continue;
    ++rows;
    ASSERT_TRUE(cases.count(status)) << "no case for status " << status;
    ResetProcessState();
    EXPECT_EQ(cases[status](), status) << out_ << err_;
  }
  EXPECT_EQ(rows, static_cast<int>(cases.size()));
}

}  // namespace
}  // namespace quarnel::test
