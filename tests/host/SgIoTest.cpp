// ATA PASS-THROUGH (16) blocks and the judgement of recorded answers.
#include <gtest/gtest.h>

#include <vector>

#include "ata/AtaSanitize.h"
#include "host/HostConstants.h"
#include "host/linux/SgIo.h"

namespace quarnel::sgio {
namespace {

TAtaTaskFile Registers(uint8_t features, uint8_t mid, uint8_t high, uint8_t device,
                       uint8_t command) {
  TAtaTaskFile t;
  t.Current = {features, 1, 1, mid, high, device, command};
  return t;
}

using Cdb = std::array<uint8_t, kCdbSize>;

TEST(SgIoCdb, DataInCommandsMoveOneBlockWithoutCheckCondition) {
  EXPECT_EQ(BuildAtaPassThrough16(Registers(0xD0, 0x4F, 0xC2, 0xA0, 0xB0), TAtaProtocol::PioDataIn),
            (Cdb{0x85, 0x08, 0x0E, 0, 0xD0, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
  EXPECT_EQ(BuildAtaPassThrough16(Registers(0, 0, 0, 0xB0, 0xEC), TAtaProtocol::PioDataIn),
            (Cdb{0x85, 0x08, 0x0E, 0, 0, 0, 0x01, 0, 0x01, 0, 0, 0, 0, 0xB0, 0xEC, 0}));
}

TEST(SgIoCdb, NonDataCommandsAskForTheRegisters) {
  EXPECT_EQ(BuildAtaPassThrough16(Registers(0xD8, 0x4F, 0xC2, 0xA0, 0xB0), TAtaProtocol::NonData),
            (Cdb{0x85, 0x06, 0x20, 0, 0xD8, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
  EXPECT_EQ(BuildInquiryVpd(0x80, 252),
            (std::array<uint8_t, 6>{0x12, 0x01, 0x80, 0x00, 0xFC, 0x00}));
}

TEST(SgIoCdb, ExtCommandsSetExtendAndCarryTheHighOrderBytes) {
  // READ NATIVE MAX ADDRESS EXT: non-data (protocol 3) with EXTEND, CK_COND.
  TAtaTaskFile t;
  t.Ext = true;
  t.Current = {0, 0, 0, 0, 0, 0xE0, 0x27};
  EXPECT_EQ(BuildAtaPassThrough16(t, TAtaProtocol::NonData),
            (Cdb{0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x27, 0}));
  // Each high-order byte sits before its low-order one: features, count, LBA.
  t.Current = {1, 2, 3, 4, 5, 0xE0, 0x78};
  t.Previous = {6, 7, 8, 9, 10, 0, 0};
  EXPECT_EQ(BuildAtaPassThrough16(t, TAtaProtocol::NonData),
            (Cdb{0x85, 0x07, 0x20, 6, 1, 7, 2, 8, 3, 9, 4, 10, 5, 0xE0, 0x78, 0}));
  // A 48-bit data-in command asks for CK_COND too: protocol 4, EXTEND.
  EXPECT_EQ(BuildAtaPassThrough16(t, TAtaProtocol::PioDataIn),
            (Cdb{0x85, 0x09, 0x2E, 6, 1, 7, 2, 8, 3, 9, 4, 10, 5, 0xE0, 0x78, 0}));
}

// SANITIZE (ACS) in SAT's block: non-data 48-bit; FEATURE 15:8, 7:0, COUNT
// 15:8, 7:0, LBA 31:24, 7:0, 39:32, 15:8, 47:40, 23:16, DEVICE, COMMAND;
// the keys "BkEr", "Cryp", and "OW" in LBA 47:32 with one pass.
TEST(SgIoCdb, SanitizeCommands) {
  const struct {
    TAtaSanitize sub;
    Cdb cdb;
  } cases[] = {
      {TAtaSanitize::BlockErase,
       {0x85, 0x07, 0x20, 0, 0x12, 0, 0, 0x42, 0x72, 0, 0x45, 0, 0x6B, 0x40, 0xB4, 0}},
      {TAtaSanitize::CryptoScramble,
       {0x85, 0x07, 0x20, 0, 0x11, 0, 0, 0x43, 0x70, 0, 0x79, 0, 0x72, 0x40, 0xB4, 0}},
      {TAtaSanitize::Overwrite,
       {0x85, 0x07, 0x20, 0, 0x14, 0, 0x01, 0, 0, 0x57, 0, 0x4F, 0, 0x40, 0xB4, 0}},
      {TAtaSanitize::Status, {0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xB4, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildAtaPassThrough16(AtaSanitizeCommand(c.sub, 0), TAtaProtocol::NonData), c.cdb)
        << static_cast<int>(c.sub);
  }
}

TAtaOutcome Judge(uint8_t status, const std::vector<uint8_t>& sense, uint16_t host = 0,
                  uint16_t driver = 0) {
  TSgResult r;
  r.ScsiStatus = status;
  r.HostStatus = host;
  r.DriverStatus = driver;
  r.Sense = sense.data();
  r.SenseLength = sense.size();
  return JudgeAtaResult(r);
}

// SMART ENABLE OPERATIONS with CK_COND, as libata answers it in descriptor
// format: RECOVERED ERROR, ATA PASS-THROUGH INFORMATION AVAILABLE, status 50h.
const std::vector<uint8_t> kDescriptorGood = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0,    0x0E,
                                              0x09, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                              0x00, 0x4F, 0x00, 0xC2, 0xA0, 0x50};
// The same command aborted by the drive: ABORTED COMMAND, error 04h, status 51h.
const std::vector<uint8_t> kDescriptorAborted = {0x72, 0x0B, 0x00, 0x00, 0,    0,    0,    0x0E,
                                                 0x09, 0x0C, 0x00, 0x04, 0x00, 0x01, 0x00, 0x01,
                                                 0x00, 0x4F, 0x00, 0xC2, 0xA0, 0x51};
// Fixed format: error, status, device and count in the information field.
const std::vector<uint8_t> kFixedGood = {0x70, 0x00, 0x01, 0x00, 0x50, 0xA0, 0x01, 0x0A, 0x00,
                                         0x01, 0x4F, 0xC2, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x00};
const std::vector<uint8_t> kFixedInvalidOpcode = {0x70, 0x00, 0x05, 0x00, 0x00, 0x00,
                                                  0x00, 0x0A, 0x00, 0x00, 0x00, 0x00,
                                                  0x20, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(SgIoSense, DescriptorFormatCarriesTheAtaRegisters) {
  const TSense s = ParseSense(kDescriptorGood.data(), kDescriptorGood.size());
  EXPECT_TRUE(s.Valid);
  EXPECT_TRUE(s.Descriptor);
  EXPECT_EQ(s.Key, kSenseRecoveredError);
  EXPECT_EQ(s.Ascq, 0x1D);
  ASSERT_TRUE(s.HasAtaStatus);
  EXPECT_FALSE(s.Registers.Ext);
  EXPECT_EQ(s.Registers.Current.Command, 0x50);
  EXPECT_EQ(s.Registers.Current.CylLow, 0x4F);
  EXPECT_EQ(s.Registers.Current.CylHigh, 0xC2);
  EXPECT_EQ(s.Registers.Current.DriveHead, 0xA0);
  EXPECT_EQ(s.Registers.Current.SectorCount, 0x01);
  // A descriptor cut short by the sense length is not read.
  EXPECT_FALSE(ParseSense(kDescriptorGood.data(), 16).HasAtaStatus);
}

// SANITIZE STATUS EXT's answer, EXTEND set: COUNT 15:8 in byte 4, LBA 31:24,
// 39:32, 47:40 in bytes 6, 8, 10 of the descriptor.
TEST(SgIoSense, DescriptorFormatCarriesA48BitAnswer) {
  const uint8_t sense[] = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0,    14,   0x09, 12,   0x01,
                           0x00, 0x40, 0x00, 0x07, 0x34, 0x08, 0x12, 0x09, 0x00, 0x40, 0x50};
  const TSense s = ParseSense(sense, sizeof sense);
  ASSERT_TRUE(s.HasAtaStatus);
  EXPECT_TRUE(s.Registers.Ext);
  EXPECT_EQ(s.Registers.Count16(), 0x4000);
  EXPECT_EQ(s.Registers.Lba48(), 0x090807001234ull);  // LBA 23:16 is 00h
  EXPECT_EQ(s.Registers.Current.Command, 0x50);
  const TAtaSanitizeStatus status = DecodeAtaSanitizeStatus(s.Registers);
  EXPECT_TRUE(status.InProgress);
  EXPECT_EQ(status.Progress, 0x1234);
}

TEST(SgIoSense, FixedFormatCarriesTheAtaRegisters) {
  const TSense s = ParseSense(kFixedGood.data(), kFixedGood.size());
  EXPECT_TRUE(s.Valid);
  EXPECT_FALSE(s.Descriptor);
  EXPECT_EQ(s.Key, kSenseRecoveredError);
  EXPECT_EQ(s.Asc, 0x00);
  EXPECT_EQ(s.Ascq, 0x1D);
  ASSERT_TRUE(s.HasAtaStatus);
  EXPECT_EQ(s.Registers.Current.Command, 0x50);
  EXPECT_EQ(s.Registers.Current.CylLow, 0x4F);
  EXPECT_EQ(s.Registers.Current.CylHigh, 0xC2);
  EXPECT_EQ(s.Registers.Current.DriveHead, 0xA0);
  EXPECT_FALSE(ParseSense(nullptr, 0).Valid);
  const uint8_t vendor[] = {0x7F, 0, 0, 0};
  EXPECT_FALSE(ParseSense(vendor, sizeof vendor).Valid);
}

TEST(SgIoJudge, DecidesOnTheSenseKeyAndTheStatusBits) {
  EXPECT_EQ(Judge(kScsiGood, {}).Win32Error, 0u);
  EXPECT_EQ(Judge(kScsiCheckCondition, kDescriptorGood, 0, kDriverSense).Win32Error, 0u);
  EXPECT_EQ(Judge(kScsiCheckCondition, kFixedGood, 0, kDriverSense).Win32Error, 0u);
  EXPECT_EQ(Judge(kScsiCheckCondition, kDescriptorAborted, 0, kDriverSense).Win32Error,
            win::kERROR_IO_DEVICE);
  EXPECT_EQ(Judge(kScsiCheckCondition, kFixedInvalidOpcode, 0, kDriverSense).Win32Error,
            win::kERROR_INVALID_FUNCTION);
  // RECOVERED ERROR whose status has ERR or DF set: the command failed.
  for (uint8_t status : {uint8_t{0x51}, uint8_t{0x70}}) {
    std::vector<uint8_t> failed = kDescriptorGood;
    failed.back() = status;
    EXPECT_EQ(Judge(kScsiCheckCondition, failed).Win32Error, win::kERROR_IO_DEVICE) << int{status};
    failed = kFixedGood;
    failed[4] = status;
    EXPECT_EQ(Judge(kScsiCheckCondition, failed).Win32Error, win::kERROR_IO_DEVICE) << int{status};
  }
}

TEST(SgIoJudge, TransportFailuresAreRefusals) {
  EXPECT_EQ(Judge(kScsiGood, {}, kHostTimeOut).Win32Error, win::kERROR_SEM_TIMEOUT);
  EXPECT_EQ(Judge(kScsiGood, {}, 0x01).Win32Error, win::kERROR_IO_DEVICE);  // DID_NO_CONNECT
  EXPECT_EQ(Judge(kScsiGood, {}, 0, kDriverTimeOut).Win32Error, win::kERROR_SEM_TIMEOUT);
  EXPECT_EQ(Judge(0x08, {}).Win32Error, win::kERROR_BUSY);
  EXPECT_EQ(Judge(kScsiCheckCondition, {}).Win32Error, win::kERROR_IO_DEVICE);
  const std::vector<uint8_t> notReady = {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x3A, 0};
  EXPECT_EQ(Judge(kScsiCheckCondition, notReady).Win32Error, win::kERROR_NOT_READY);
}

}  // namespace
}  // namespace quarnel::sgio
