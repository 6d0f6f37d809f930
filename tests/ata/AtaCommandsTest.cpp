#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ata/AtaCommands.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

using test::UseSimHost;

const char* const kDrive = "WDC_WD5000AAKS--00TMA0-12.01C01";

std::string Description(const std::string& faults, bool slave = false) {
  const std::string dir = std::string("drives/") + kDrive;
  return R"({"drives": [{"number": 0, "length": 500107862016, "bus_type": 3,
    "identify_file": ")" +
         dir + R"(/identify.bin", "smart_file": ")" + dir + R"(/smart.bin", "ide_slave": )" +
         (slave ? "true" : "false") + R"(, "faults": {)" + faults + "}}]}";
}

std::vector<uint8_t> Captured(const char* file) {
  return test::ReadBytes(test::DriveDataDir(kDrive) + "/" + file);
}

std::vector<uint8_t> Bytes(const TAtaBlock& b) { return {b, b + kAtaBlockSize}; }

// The drive opened as the main window opens it; the raw request bytes are
// seen through the simulated drive's log.
struct TAtaFixture {
  explicit TAtaFixture(const std::string& faults, bool slave = false)
      : host(UseSimHost(Description(faults, slave))) {
    handle = host.CreateFileU8(host.DrivePath(0), win::kGENERIC_READ | win::kGENERIC_WRITE, 0,
                               win::kOPEN_EXISTING, 0);
    EXPECT_NE(handle, kInvalidHandle);
  }
  const std::vector<TSimAtaCommand>& Seen() { return host.Drive(0)->AtaCommands; }
  SimHost& host;
  THandle handle = kInvalidHandle;
};

TEST(AtaCommands, SmartReadDataSendsTheReadDataBlockAndDeliversThePage) {
  TAtaFixture f("");
  TAtaBlock page;
  ASSERT_TRUE(SmartReadData(f.handle, 0, page));
  EXPECT_EQ(Bytes(page), Captured("smart.bin"));
  ASSERT_EQ(f.Seen().size(), 1u);
  const TSimAtaCommand& c = f.Seen()[0];
  EXPECT_EQ(c.Request, win::kSMART_RCV_DRIVE_DATA);
  EXPECT_EQ(c.InSize, 32u);
  EXPECT_EQ(c.OutSize, 1039u);
  EXPECT_EQ(c.BufferSize, 512u);
  EXPECT_EQ(c.Features, 0xD0);
  EXPECT_EQ(c.Command, 0xB0);
  EXPECT_EQ(c.DriveHead, 0xA0);
  EXPECT_EQ(c.DriveNumber, 0);
}

TEST(AtaCommands, EnableAndDisableAreNonDataCommandsThatSwitchTheDrive) {
  TAtaFixture f("");
  ASSERT_TRUE(SmartDisableOperations(f.handle, 0));
  EXPECT_FALSE(f.host.Drive(0)->SmartEnabled);
  TAtaBlock page;
  EXPECT_FALSE(SmartReadData(f.handle, 0, page));  // the drive aborts reads while off
  TAtaBlock identify;
  ASSERT_TRUE(ReadIdentifyData(f.handle, 0, identify));
  EXPECT_EQ(identify[170] & 1, 0);  // word 85 bit 0 follows the state
  ASSERT_TRUE(SmartEnableOperations(f.handle, 0));
  ASSERT_TRUE(ReadIdentifyData(f.handle, 0, identify));
  EXPECT_EQ(identify[170] & 1, 1);
  uint8_t sum = 0;
  for (uint8_t byte : identify) sum = static_cast<uint8_t>(sum + byte);
  EXPECT_EQ(sum, 0) << "the served block keeps a valid checksum";
  const TSimAtaCommand& disable = f.Seen()[0];
  EXPECT_EQ(disable.Request, win::kSMART_SEND_DRIVE_COMMAND);
  EXPECT_EQ(disable.InSize, 32u);
  EXPECT_EQ(disable.OutSize, 527u);
  EXPECT_EQ(disable.BufferSize, 0u);
  EXPECT_EQ(disable.Features, 0xD9);
  EXPECT_EQ(f.host.Drive(0)->Commands,
            (std::vector<uint8_t>{0xD9, 0xEC, 0xD8, 0xEC}));  // the refused read is not there
}

TEST(AtaCommands, IdentifyFirstRouteAsksVersionThenReceivesWithDriveZero) {
  TAtaFixture f("");
  TAtaBlock identify;
  ASSERT_TRUE(ReadIdentifyData(f.handle, 0, identify));
  EXPECT_EQ(Bytes(identify), Captured("identify.bin"));
  ASSERT_EQ(f.Seen().size(), 2u);
  EXPECT_EQ(f.Seen()[0].Request, win::kSMART_GET_VERSION);
  EXPECT_EQ(f.Seen()[0].OutSize, 28u);
  const TSimAtaCommand& rcv = f.Seen()[1];
  EXPECT_EQ(rcv.Request, win::kSMART_RCV_DRIVE_DATA);
  EXPECT_EQ(rcv.InSize, 33u);
  EXPECT_EQ(rcv.OutSize, 528u);
  EXPECT_EQ(rcv.Command, 0xEC);
  EXPECT_EQ(rcv.Features, 0);
  // Whatever count the reply reports, the first route takes bytes 16..527.
  TAtaFixture g(R"("rcv_bytes": 100)");
  ASSERT_TRUE(ReadIdentifyData(g.handle, 0, identify));
  EXPECT_EQ(Bytes(identify), Captured("identify.bin"));
}

TEST(AtaCommands, SlaveDriveNumberGivesB0hEverywhereAndDriveZeroOnlyInTheFirstRoute) {
  TAtaFixture f(R"("miniport_bytes": 572)", true);
  TAtaBlock block;
  ASSERT_TRUE(ReadIdentifyData(f.handle, 1, block));
  ASSERT_TRUE(SmartEnableOperations(f.handle, 1));
  ASSERT_TRUE(SmartReadData(f.handle, 1, block));
  ASSERT_TRUE(SmartDisableOperations(f.handle, 1));
  f.host.Drive(0)->Refusals["smart_version"] = win::kERROR_INVALID_FUNCTION;
  f.host.Drive(0)->Refusals["smart_rcv"] = win::kERROR_INVALID_FUNCTION;
  ASSERT_TRUE(ReadIdentifyData(f.handle, 1, block));  // miniport route
  f.host.Drive(0)->SmartEnabled = true;
  ASSERT_TRUE(SmartReadData(f.handle, 1, block));  // send route
  int checked = 0;
  for (const TSimAtaCommand& c : f.Seen()) {
    if (c.Request == win::kSMART_GET_VERSION) continue;
    SCOPED_TRACE(testing::Message() << "request " << std::hex << c.Request << " command "
                                    << int(c.Command) << "/" << int(c.Features));
    EXPECT_EQ(c.DriveHead, 0xB0);
    const bool firstRoute = c.Request == win::kSMART_RCV_DRIVE_DATA && c.Command == 0xEC;
    EXPECT_EQ(c.DriveNumber, firstRoute ? 0 : 1);
    ++checked;
  }
  // rcv ECh, D8, rcv D0, D9, miniport, the refused rcv D0 and send D0.
  EXPECT_EQ(checked, 7);
}

TEST(AtaCommands, DataRepliesYieldTheLast512ReturnedBytes) {
  const std::vector<uint8_t> smart = Captured("smart.bin");
  TAtaBlock page;
  {
    TAtaFixture f(R"("rcv_bytes": 528)");
    ASSERT_TRUE(SmartReadData(f.handle, 0, page));
    EXPECT_EQ(Bytes(page), smart);
  }
  {
    // 600 reported: bytes 88..599 of the reply, that is data 72..511 and then
    // the output area's zeros.
    TAtaFixture f(R"("rcv_bytes": 600)");
    ASSERT_TRUE(SmartReadData(f.handle, 0, page));
    std::vector<uint8_t> expected(smart.begin() + 72, smart.end());
    expected.resize(512, 0);
    EXPECT_EQ(Bytes(page), expected);
  }
  {
    // 511 fails even though the request succeeded, and so does the send
    // fallback with the same count; the caller's area is untouched.
    TAtaFixture f(R"("rcv_bytes": 511, "send_bytes": 511)");
    std::memset(page, 0xEE, sizeof page);
    EXPECT_FALSE(SmartReadData(f.handle, 0, page));
    EXPECT_EQ(Bytes(page), std::vector<uint8_t>(512, 0xEE));
    ASSERT_EQ(f.Seen().size(), 2u);
    EXPECT_TRUE(f.Seen()[0].Accepted);
    EXPECT_EQ(f.Seen()[1].Request, win::kSMART_SEND_DRIVE_COMMAND);
  }
}

TEST(AtaCommands, ReadDataFallsBackToTheSendRequest) {
  TAtaFixture f(R"("smart_rcv": 1)");
  TAtaBlock page;
  ASSERT_TRUE(SmartReadData(f.handle, 0, page));
  EXPECT_EQ(Bytes(page), Captured("smart.bin"));
  ASSERT_EQ(f.Seen().size(), 2u);
  EXPECT_FALSE(f.Seen()[0].Accepted);
  EXPECT_EQ(f.Seen()[1].Request, win::kSMART_SEND_DRIVE_COMMAND);
  EXPECT_EQ(f.Seen()[1].OutSize, 1039u);
  EXPECT_EQ(f.Seen()[1].BufferSize, 512u);
  EXPECT_EQ(f.Seen()[1].Features, 0xD0);
  TAtaFixture g(R"("smart_rcv": 1, "smart_send": 5)");
  EXPECT_FALSE(SmartReadData(g.handle, 0, page));
  EXPECT_FALSE(SmartEnableOperations(g.handle, 0));
}

TEST(AtaCommands, IdentifyTakesTheMiniportRouteWhenTheSmartRequestsFail) {
  for (const char* faults : {R"("smart_version": 1)", R"("smart_rcv": 31)"}) {
    SCOPED_TRACE(faults);
    TAtaFixture f(faults);
    TAtaBlock identify;
    ASSERT_TRUE(ReadIdentifyData(f.handle, 0, identify));
    EXPECT_EQ(Bytes(identify), Captured("identify.bin"));
    const TSimAtaCommand& m = f.Seen().back();
    EXPECT_EQ(m.Request, win::kIOCTL_SCSI_MINIPORT);
    EXPECT_EQ(m.InSize, 572u);
    EXPECT_EQ(m.OutSize, 572u);
    EXPECT_EQ(m.BufferSize, 512u);
    EXPECT_EQ(m.Command, 0xEC);
    EXPECT_EQ(m.DriveHead, 0xA0);
  }
  // A refused version request goes straight to the miniport.
  TAtaFixture f(R"("smart_version": 1)");
  TAtaBlock identify;
  ASSERT_TRUE(ReadIdentifyData(f.handle, 0, identify));
  ASSERT_EQ(f.Seen().size(), 2u);
  EXPECT_EQ(f.Seen()[1].Request, win::kIOCTL_SCSI_MINIPORT);
}

TEST(AtaCommands, MiniportReplyNeeds556Bytes) {
  for (const auto& [bytes, ok] : {std::pair{555, false}, {556, true}, {572, true}}) {
    SCOPED_TRACE(bytes);
    TAtaFixture f(R"("smart_version": 1, "miniport_bytes": )" + std::to_string(bytes));
    TAtaBlock identify;
    std::memset(identify, 0xEE, sizeof identify);
    EXPECT_EQ(ReadIdentifyData(f.handle, 0, identify), ok);
    EXPECT_EQ(Bytes(identify), ok ? Captured("identify.bin") : std::vector<uint8_t>(512, 0xEE));
  }
  TAtaFixture f(R"("smart_version": 1, "miniport": 5)");
  TAtaBlock identify;
  EXPECT_FALSE(ReadIdentifyData(f.handle, 0, identify));
}

// A host that reports more bytes than the output area holds must not make
// the transport read past its reply.
class TOverReportingHost : public SimHost {
 public:
  bool DeviceIoControl(THandle, uint32_t, const void*, uint32_t, void* out, uint32_t outSize,
                       uint32_t* returned) override {
    std::memset(out, 0x11, outSize);
    *returned = outSize + 4096;
    return true;
  }
};

TEST(AtaCommands, ACountBeyondTheOutputAreaIsAFailure) {
  test::UseSimHost("{}");
  SetHost(std::make_unique<TOverReportingHost>());
  TAtaBlock page;
  std::memset(page, 0xEE, sizeof page);
  EXPECT_FALSE(SmartReadData(100, 0, page));
  EXPECT_EQ(Bytes(page), std::vector<uint8_t>(512, 0xEE));
}

}  // namespace
}  // namespace quarnel
