// The SMART and miniport requests as LinuxHost reads them and the replies it
// lays out, with the byte counts the core expects.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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
  EXPECT_EQ(r.Registers.LbaMid, 0x4F);
  EXPECT_EQ(r.Registers.LbaHigh, 0xC2);
  EXPECT_EQ(r.Registers.Device, 0xB0);  // the registers as given
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

TEST(LinuxHostAta, MiniportIdentifyRepliesWith572Bytes) {
  const std::vector<uint8_t> in = Miniport();
  TAtaRequest r;
  ASSERT_EQ(ParseAtaRequest(win::kIOCTL_SCSI_MINIPORT, in.data(), 572, 572, &r), 0u);
  EXPECT_TRUE(r.Miniport);
  EXPECT_TRUE(r.DataIn);
  EXPECT_EQ(r.TimeoutMs, 120000u);
  EXPECT_EQ(r.Registers.Command, 0xEC);
  EXPECT_EQ(r.Registers.Device, 0xB0);
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

}  // namespace
}  // namespace quarnel
