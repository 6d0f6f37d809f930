// The two ways of IOCTL_ATA_PASS_THROUGH: which commands each lets through,
// and that no command passes both.
#include <gtest/gtest.h>

#include "ata/AtaSanitize.h"
#include "ata/HiddenArea.h"
#include "host/AtaRequests.h"
#include "host/HostConstants.h"

namespace quarnel {
namespace {

uint32_t ParseErase(const std::vector<uint8_t>& in, uint32_t outSize) {
  TAtaPassThroughRequest r;
  return ParseAtaEraseRequest(in.data(), static_cast<uint32_t>(in.size()), outSize, &r);
}

TEST(AtaRequests, EraseWayCarriesSanitizeAndNothingElse) {
  for (TAtaSanitize sub : {TAtaSanitize::Status, TAtaSanitize::CryptoScramble,
                           TAtaSanitize::BlockErase, TAtaSanitize::Overwrite}) {
    const TAtaTaskFile c = AtaSanitizeCommand(sub, 0);
    EXPECT_TRUE(IsAtaEraseCommand(c)) << static_cast<int>(sub);
    const std::vector<uint8_t> in = BuildAtaPassThrough(c, 0, 60);
    EXPECT_TRUE(IsSanitizeRequest(in.data(), static_cast<uint32_t>(in.size())));
    EXPECT_EQ(ParseErase(in, win::kATA_PASS_THROUGH_EX_SIZE), 0u);
    EXPECT_EQ(ParseErase(in, win::kATA_PASS_THROUGH_EX_SIZE - 1), win::kERROR_INSUFFICIENT_BUFFER);
  }
  // SANITIZE FREEZE LOCK EXT (0020h) and ANTIFREEZE LOCK EXT (0040h) change
  // the drive's state for good; a 28-bit B4h is no SANITIZE.
  TAtaTaskFile c = AtaSanitizeCommand(TAtaSanitize::Status, 0);
  for (uint16_t feature : {0x0020, 0x0040, 0x0112}) {
    c.SetFeatures16(feature);
    EXPECT_FALSE(IsAtaEraseCommand(c)) << feature;
  }
  c = AtaSanitizeCommand(TAtaSanitize::BlockErase, 0);
  c.Ext = false;
  EXPECT_FALSE(IsAtaEraseCommand(c));
  EXPECT_EQ(ParseErase(BuildAtaPassThrough(c, 0, 60), 100), win::kERROR_NOT_SUPPORTED);
  // Data moves only the query way.
  c.Ext = true;
  EXPECT_EQ(ParseErase(BuildAtaPassThrough(c, 512, 60), 1024), win::kERROR_NOT_SUPPORTED);
  const std::vector<uint8_t> query =
      BuildAtaPassThrough(NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMaxExt, 0), 0, 15);
  EXPECT_FALSE(IsSanitizeRequest(query.data(), static_cast<uint32_t>(query.size())));
}

// As a host that hands the request on whole checks it.
TEST(AtaRequests, OneCheckForBothWays) {
  auto refusal = [](const TAtaTaskFile& t, uint32_t dataIn) {
    const std::vector<uint8_t> in = BuildAtaPassThrough(t, dataIn, 15);
    const auto size = static_cast<uint32_t>(in.size());
    return AtaPassThroughRefusal(in.data(), size, size);
  };
  EXPECT_EQ(refusal(AtaSanitizeCommand(TAtaSanitize::BlockErase, 0), 0), 0u);
  EXPECT_EQ(refusal(DcoIdentifyTaskFile(0), 512), 0u);
  EXPECT_EQ(refusal(NativeMaxTaskFile(TNativeMaxCommand::GetNativeMaxExt, 0), 0), 0u);
  TAtaTaskFile t = AtaSanitizeCommand(TAtaSanitize::Status, 0);
  t.SetFeatures16(0x0020);  // SANITIZE FREEZE LOCK EXT
  EXPECT_EQ(refusal(t, 0), win::kERROR_INVALID_FUNCTION);
  t = NativeMaxTaskFile(TNativeMaxCommand::ReadNativeMaxExt, 0);
  t.Current.Command = 0x37;  // SET MAX ADDRESS EXT
  EXPECT_EQ(refusal(t, 0), win::kERROR_INVALID_FUNCTION);
}

TEST(AtaRequests, NoCommandPassesBothWays) {
  int queries = 0, erases = 0;
  for (int command = 0; command < 256; ++command) {
    for (uint16_t feature : {0x0000, 0x0011, 0x0012, 0x0014, 0x00C2, 0x0100}) {
      for (bool ext : {false, true}) {
        for (bool dataIn : {false, true}) {
          TAtaTaskFile t;
          t.Ext = ext;
          t.Current.Command = static_cast<uint8_t>(command);
          t.SetFeatures16(feature);
          const bool query = IsAtaQueryCommand(t, dataIn);
          const bool erase = IsAtaEraseCommand(t) && !dataIn;
          EXPECT_FALSE(query && erase) << command << " " << feature;
          queries += query;
          erases += erase;
        }
      }
    }
  }
  // In one form each: IDENTIFY (any feature), 78h (feature 0000h only),
  // 27h and F8h (any), B1h (C2h only); SANITIZE's four subcommands.
  EXPECT_EQ(queries, 6 + 1 + 6 + 6 + 1);
  EXPECT_EQ(erases, 4);
}

}  // namespace
}  // namespace quarnel
