// The SMART and miniport requests as LinuxHost reads them and the replies it
// lays out, with the byte counts the core expects.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ata/AtaSanitize.h"
#include "ata/HiddenArea.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/linux/LinuxHost.h"

namespace quarnel {
namespace {

std::vector<uint8_t> SendCmd(uint32_t bufferSize, uint8_t features, uint8_t command,
                             uint8_t device = 0xA0, uint8_t driveNumber = 0) {
  std::vector<uint8_t> in(33, 0);
  PutU32(in.data(), 0, bufferSize);
  const uint8_t regs[7] = {features,
                           1,
                           1,
                           command == 0xB0 ? uint8_t{0x4F} : uint8_t{0},
                           command == 0xB0 ? uint8_t{0xC2} : uint8_t{0},
                           device,
                           command};
  std::memcpy(in.data() + 4, regs, 7);
  in[12] = driveNumber;
  return in;
}

std::vector<uint8_t> Miniport(uint32_t controlCode = 0x001B0501u) {
  std::vector<uint8_t> area(572, 0);
  PutU32(area.data(), 0, 28);
  std::memcpy(area.data() + 4, "SCSIDISK", 8);
  PutU32(area.data(), 12, 120);
  PutU32(area.data(), 16, controlCode);
  PutU32(area.data(), 24, 544);
  const std::vector<uint8_t> cmd = SendCmd(512, 0, 0xEC, 0xB0, 1);
  std::memcpy(area.data() + 28, cmd.data(), 32);
  return area;
}

TEST(LinuxHostAta, SmartReadDataIsAOneBlockDataCommand) {
  const std::vector<uint8_t> in = SendCmd(512, 0xD0, 0xB0, 0xB0, 1);
  TAtaRequest r;
  ASSERT_EQ(ParseAtaRequest(win::kSMART_RCV_DRIVE_DATA, in.data(), 32, 1039, &r), 0u);
  EXPECT_TRUE(r.DataIn);
  EXPECT_EQ(r.ReplySize, 528u);
  EXPECT_EQ(r.Registers.Features, 0xD0);
  EXPECT_EQ(r.Registers.CylLow, 0x4F);
  EXPECT_EQ(r.Registers.CylHigh, 0xC2);
  EXPECT_EQ(r.Registers.DriveHead, 0xB0);  // the registers as given
  EXPECT_EQ(r.Registers.Command, 0xB0);
  // The same block through SMART_SEND_DRIVE_COMMAND also returns the data.
  ASSERT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, in.data(), 32, 1039, &r), 0u);
  EXPECT_TRUE(r.DataIn);

  uint8_t data[512];
  for (int i = 0; i < 512; ++i) data[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> out(1039, 0xEE);
  ASSERT_EQ(BuildAtaReply(r, in.data(), data, out.data()), 528u);
  EXPECT_EQ(GetU32(out.data(), 0), 512u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4, out.begin() + 16), std::vector<uint8_t>(12, 0));
  EXPECT_EQ(std::memcmp(out.data() + 16, data, 512), 0);
  EXPECT_EQ(out[528], 0xEE);  // nothing past the reply
}

TEST(LinuxHostAta, SmartEnableIsANonDataCommandWithASixteenByteReply) {
  const std::vector<uint8_t> in = SendCmd(0, 0xD8, 0xB0);
  TAtaRequest r;
  ASSERT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, in.data(), 32, 527, &r), 0u);
  EXPECT_FALSE(r.DataIn);
  std::vector<uint8_t> out(527, 0xEE);
  ASSERT_EQ(BuildAtaReply(r, in.data(), nullptr, out.data()), 16u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 16), std::vector<uint8_t>(16, 0));
  EXPECT_EQ(out[16], 0xEE);
}

TEST(LinuxHostAta, ReturnStatusRepliesWithTheDriveRegistersAsWindowsDoes) {
  const std::vector<uint8_t> in = SendCmd(0, 0xDA, 0xB0);
  TAtaRequest r;
  ASSERT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, in.data(), 32, 527, &r), 0u);
  EXPECT_FALSE(r.DataIn);
  EXPECT_TRUE(r.ReturnsRegisters);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, in.data(), 32, 23, &r),
            win::kERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, in.data(), 32, 24, &r), 0u);
  const TAtaRegisters answer = {0, 1, 0, 0xF4, 0x2C, 0xA0, 0x50};  // status last
  std::vector<uint8_t> out(527, 0xEE);
  ASSERT_EQ(BuildAtaReply(r, in.data(), nullptr, out.data(), answer), 24u);
  EXPECT_EQ(GetU32(out.data(), 0), 8u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 16, out.begin() + 25),
            (std::vector<uint8_t>{0, 1, 0, 0xF4, 0x2C, 0xA0, 0x50, 0, 0xEE}));
}

TEST(LinuxHostAta, MiniportIdentifyRepliesWith572Bytes) {
  const std::vector<uint8_t> in = Miniport();
  TAtaRequest r;
  ASSERT_EQ(ParseAtaRequest(win::kIOCTL_SCSI_MINIPORT, in.data(), 572, 572, &r), 0u);
  EXPECT_TRUE(r.Miniport);
  EXPECT_TRUE(r.DataIn);
  EXPECT_EQ(r.TimeoutMs, 120000u);
  EXPECT_EQ(r.Registers.Command, 0xEC);
  EXPECT_EQ(r.Registers.DriveHead, 0xB0);
  uint8_t data[512];
  std::memset(data, 0x3C, sizeof data);
  std::vector<uint8_t> out = in;  // the same area serves as input and output
  ASSERT_EQ(BuildAtaReply(r, in.data(), data, out.data()), 572u);
  EXPECT_EQ(std::memcmp(out.data() + 4, "SCSIDISK", 8), 0);
  EXPECT_EQ(GetU32(out.data(), 16), 0x001B0501u);
  EXPECT_EQ(GetU32(out.data(), 20), 0u);
  EXPECT_EQ(GetU32(out.data(), 24), 544u);
  EXPECT_EQ(GetU32(out.data(), 28), 512u);
  EXPECT_EQ(out[43], 0);
  EXPECT_EQ(out[44], 0x3C);
  EXPECT_EQ(out[555], 0x3C);
  EXPECT_EQ(out[556], 0);
}

TEST(LinuxHostAta, RefusesWhatWindowsRefuses) {
  TAtaRequest r;
  const std::vector<uint8_t> writeLog = SendCmd(512, 0xD6, 0xB0);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, writeLog.data(), 32, 1039, &r),
            win::kERROR_INVALID_PARAMETER);
  // Self-tests in off-line mode and their abort only: the captive forms hold
  // the drive past any time-out; nor the attribute autosave switch.
  std::vector<uint8_t> selfTest = SendCmd(0, 0xD4, 0xB0);
  for (uint8_t sub : {0x01, 0x02, 0x03, 0x7F}) {
    selfTest[6] = sub;  // the sector number register
    EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, selfTest.data(), 32, 527, &r), 0u);
    EXPECT_FALSE(r.DataIn);
  }
  for (uint8_t sub : {0x00, 0x81, 0x82, 0x40}) {
    selfTest[6] = sub;
    EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, selfTest.data(), 32, 527, &r),
              win::kERROR_INVALID_PARAMETER);
  }
  const std::vector<uint8_t> autosave = SendCmd(0, 0xD2, 0xB0);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, autosave.data(), 32, 527, &r),
            win::kERROR_INVALID_PARAMETER);
  const std::vector<uint8_t> writeSectors = SendCmd(512, 0, 0x30);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_SEND_DRIVE_COMMAND, writeSectors.data(), 32, 1039, &r),
            win::kERROR_INVALID_PARAMETER);
  const std::vector<uint8_t> enable = SendCmd(0, 0xD8, 0xB0);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_RCV_DRIVE_DATA, enable.data(), 32, 1039, &r),
            win::kERROR_INVALID_PARAMETER);  // a receive needs a data command
  const std::vector<uint8_t> noBuffer = SendCmd(0, 0xD0, 0xB0);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_RCV_DRIVE_DATA, noBuffer.data(), 32, 1039, &r),
            win::kERROR_INVALID_PARAMETER);
  const std::vector<uint8_t> read = SendCmd(512, 0xD0, 0xB0);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_RCV_DRIVE_DATA, read.data(), 31, 1039, &r),
            win::kERROR_INVALID_PARAMETER);
  EXPECT_EQ(ParseAtaRequest(win::kSMART_RCV_DRIVE_DATA, read.data(), 32, 527, &r),
            win::kERROR_INSUFFICIENT_BUFFER);
  const std::vector<uint8_t> other = Miniport(0x001B0502u);
  EXPECT_EQ(ParseAtaRequest(win::kIOCTL_SCSI_MINIPORT, other.data(), 572, 572, &r),
            win::kERROR_INVALID_FUNCTION);
  const std::vector<uint8_t> id = Miniport();
  EXPECT_EQ(ParseAtaRequest(win::kIOCTL_SCSI_MINIPORT, id.data(), 572, 555, &r),
            win::kERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(ParseAtaRequest(win::kIOCTL_SCSI_MINIPORT, id.data(), 572, 556, &r), 0u);
  EXPECT_EQ(r.ReplySize, 556u);
}

TEST(LinuxHostAta, PassThroughCarriesOnlyTheReadOnlyQueries) {
  TAtaPassThroughRequest r;
  auto parse = [&](const TAtaTaskFile& t, uint32_t data) {
    const std::vector<uint8_t> in = BuildAtaPassThrough(t, data, 15);
    return ParseAtaQueryRequest(in.data(), static_cast<uint32_t>(in.size()),
                                static_cast<uint32_t>(in.size()), &r);
  };
  EXPECT_EQ(parse(NativeMaxTaskFile(TNativeMaxCommand::GetNativeMaxExt, 0), 0), 0u);
  EXPECT_EQ(parse(NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMax, 0), 0), 0u);
  ASSERT_EQ(parse(DcoIdentifyTaskFile(0), 512), 0u);
  EXPECT_TRUE(r.DataIn);
  EXPECT_EQ(r.DataOffset, win::kATA_PASS_THROUGH_EX_SIZE);
  // What sets a maximum or changes the overlay never passes: SET MAX ADDRESS
  // (EXT), SET ACCESSIBLE MAX ADDRESS EXT, DCO RESTORE, FREEZE LOCK and SET.
  TAtaTaskFile t = NativeMaxTaskFile(TNativeMaxCommand::GetNativeMaxExt, 0);
  t.Current.Features = 0x01;
  EXPECT_EQ(parse(t, 0), win::kERROR_INVALID_FUNCTION);
  for (uint8_t command : {0x37, 0xF9}) {
    t = NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMaxExt, 0);
    t.Current.Command = command;
    EXPECT_EQ(parse(t, 0), win::kERROR_INVALID_FUNCTION);
  }
  for (uint8_t feature : {0xC0, 0xC1, 0xC3}) {
    t = DcoIdentifyTaskFile(0);
    t.Current.Features = feature;
    EXPECT_EQ(parse(t, feature == 0xC3 ? 0 : 512), win::kERROR_INVALID_FUNCTION);
  }
  // Nor the drive's own erase, which goes its own way.
  for (TAtaSanitize sub : {TAtaSanitize::Status, TAtaSanitize::BlockErase}) {
    EXPECT_EQ(parse(AtaSanitizeCommand(sub, 0), 0), win::kERROR_INVALID_FUNCTION);
  }
}

TEST(LinuxHostAta, PassThroughReturnsTheWholeAddressOrNothing) {
  TAtaPassThroughRequest r;
  const std::vector<uint8_t> in =
      BuildAtaPassThrough(NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMaxExt, 0), 0, 15);
  ASSERT_EQ(ParseAtaQueryRequest(in.data(), static_cast<uint32_t>(in.size()),
                                 static_cast<uint32_t>(in.size()), &r),
            0u);
  // Descriptor format, ATA status return with EXTEND: address 01_3A38_6DAFh.
  const std::vector<uint8_t> descriptor = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0,    0x0E,
                                           0x09, 0x0C, 0x01, 0x00, 0x00, 0x00, 0x3A, 0xAF,
                                           0x01, 0x6D, 0x00, 0x38, 0xE0, 0x50};
  TAtaTaskFile returned;
  ASSERT_TRUE(
      ReturnedRegisters(r, sgio::ParseSense(descriptor.data(), descriptor.size()), &returned));
  std::vector<uint8_t> out = in;
  PutTaskFile(out.data(), returned);
  // The reply's task files: LBA 7:0, 15:8, 23:16 at bytes 2-4 of the
  // current one, 31:24, 39:32, 47:40 at bytes 2-4 of the previous one.
  const uint8_t* cur = out.data() + win::kATA_PT_CurrentTaskFile;
  const uint8_t* prev = out.data() + win::kATA_PT_PreviousTaskFile;
  EXPECT_EQ(std::vector<uint8_t>(cur, cur + 7),
            (std::vector<uint8_t>{0x00, 0x00, 0xAF, 0x6D, 0x38, 0xE0, 0x50}));
  EXPECT_EQ(std::vector<uint8_t>(prev, prev + 7),
            (std::vector<uint8_t>{0x00, 0x00, 0x3A, 0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(NativeMaxAddress(TNativeMaxCommand::ReadNativeMaxExt, TaskFileAt(out.data(), true)),
            0x013A386DAFull);
  // Fixed format says only that the upper bytes are not zero: no answer.
  const std::vector<uint8_t> fixed = {0x70, 0,    0x01, 0x00, 0x50, 0xE0, 0x00, 0x0A, 0xA0,
                                      0xAF, 0x6D, 0x38, 0x00, 0x1D, 0,    0,    0,    0};
  EXPECT_FALSE(ReturnedRegisters(r, sgio::ParseSense(fixed.data(), fixed.size()), &returned));
}

}  // namespace
}  // namespace quarnel
