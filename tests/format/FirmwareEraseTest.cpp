// The drive's own erase: the command bytes against the published layouts,
// and runs on simulated drives from the terminal (each method, each refusal,
// the sample check, the all-namespaces warning).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/StartUp.h"
#include "ata/AtaSanitize.h"
#include "cli/CliApp.h"
#include "format/SampleCheck.h"
#include "host/HostConstants.h"
#include "host/linux/SgIoErase.h"
#include "host/sim/SimHost.h"
#include "nvme/NvmeErase.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const uint8_t* p, size_t from, size_t n) { return Bytes(p + from, p + from + n); }

// Submission queue entries: opcode in byte 0, NSID in bytes 4-7, CDW10 in
// 40-43, CDW11 in 44-47 (NVMe base specification, common command format).
// Format NVM CDW10: LBAF 3:0, MSET 4, PI 7:5, PIL 8, SES 11:9. Sanitize CDW10:
// SANACT 2:0, AUSE 3, OWPASS 7:4; CDW11 the overwrite pattern.
TEST(FirmwareCommandBytes, NvmeFormatAndSanitize) {
  TNvmeNamespace plain;
  TNvmeCommand c = NvmeFormatCommand(1, plain, 1);
  EXPECT_EQ(Slice(c.data(), 0, 8), (Bytes{0x80, 0, 0, 0, 0x01, 0, 0, 0}));
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x00, 0x02, 0, 0}));
  c = NvmeFormatCommand(0xFFFFFFFF, plain, 2);
  EXPECT_EQ(Slice(c.data(), 4, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x00, 0x04, 0, 0}));
  // The namespace's own format kept: FLBAS 12h (format 2, metadata at the end
  // of each block), DPS 09h (protection type 1, first bytes): CDW10 332h | SES.
  TNvmeNamespace formatted;
  formatted.FormattedLbaSize = 0x12;
  formatted.ProtectionSettings = 0x09;
  c = NvmeFormatCommand(1, formatted, 1);
  EXPECT_EQ(Slice(c.data(), 40, 4), (Bytes{0x32, 0x03, 0, 0}));

  const struct {
    uint8_t sanact;
    Bytes cdw10;
  } sanitize[] = {{2, {0x0A, 0, 0, 0}}, {4, {0x0C, 0, 0, 0}}, {3, {0x1B, 0, 0, 0}}};
  for (const auto& s : sanitize) {
    c = NvmeSanitizeCommand(s.sanact);
    EXPECT_EQ(c[0], 0x84);
    EXPECT_EQ(Slice(c.data(), 4, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Slice(c.data(), 40, 8), (Bytes{s.cdw10[0], 0, 0, 0, 0, 0, 0, 0}));
  }

  // The same entry as LinuxHost hands it to NVME_IOCTL_ADMIN_CMD (struct
  // nvme_admin_cmd: nsid at 4, cdw10 at 40, timeout_ms at 64).
  uint8_t in[win::kNVME_ERASE_IN_SIZE];
  BuildNvmeEraseRequest(NvmeSanitizeCommand(2), 60000, in);
  TNvmeErase e;
  ASSERT_EQ(ParseNvmeEraseRequest(in, sizeof in, 8, &e), 0u);
  uint8_t admin[72];
  NvmeAdminFromErase(e, admin);
  EXPECT_EQ(Slice(admin, 0, 8), (Bytes{0x84, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(admin, 40, 4), (Bytes{0x0A, 0, 0, 0}));
  EXPECT_EQ(Slice(admin, 64, 4), (Bytes{0x60, 0xEA, 0, 0}));
  // Identify or anything else is no erase: refused.
  in[0] = 0x06;
  EXPECT_EQ(ParseNvmeEraseRequest(in, sizeof in, 8, &e), win::kERROR_NOT_SUPPORTED);
}

// ATA PASS-THROUGH (16), SAT: byte 1 protocol 3 (non-data) << 1 | EXTEND,
// byte 2 CK_COND; then FEATURE 15:8, 7:0, COUNT 15:8, 7:0, LBA 31:24, 7:0,
// 39:32, 15:8, 47:40, 23:16, DEVICE, COMMAND. SANITIZE (ACS): B4h with the
// subcommand in FEATURE and its key in LBA ("BkEr", "Cryp"; OVERWRITE "OW" in
// LBA 47:32, the pattern in 31:0, the pass count in COUNT 3:0).
TEST(FirmwareCommandBytes, AtaSanitizeCdbs) {
  const struct {
    TAtaSanitize sub;
    std::array<uint8_t, 16> cdb;
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
    EXPECT_EQ(sgio::BuildAtaPassThrough16Ext(AtaSanitizeCommand(c.sub, 0)), c.cdb)
        << static_cast<int>(c.sub);
  }
  // The slave's DEV bit.
  EXPECT_EQ(AtaSanitizeCommand(TAtaSanitize::BlockErase, 1).Device, 0x50);

  // ATA_PASS_THROUGH_EX: Length, AtaFlags (DRDY_REQUIRED | 48BIT_COMMAND),
  // the high bytes in PreviousTaskFile, the low in CurrentTaskFile.
  uint8_t ex[win::kATA_PASS_THROUGH_EX_SIZE];
  BuildAtaPassThroughEx(AtaSanitizeCommand(TAtaSanitize::BlockErase, 0), 60, ex);
  EXPECT_EQ(Slice(ex, 0, 4),
            (Bytes{static_cast<uint8_t>(win::kATA_PASS_THROUGH_EX_SIZE), 0, 0x09, 0x00}));
  EXPECT_EQ(Slice(ex, win::kATA_PT_PreviousTaskFile, 8), (Bytes{0, 0, 0x42, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Slice(ex, win::kATA_PT_CurrentTaskFile, 8),
            (Bytes{0x12, 0, 0x72, 0x45, 0x6B, 0x40, 0xB4, 0}));
}

// What comes back: the ATA status return descriptor with EXTEND (SAT), SANITIZE
// STATUS EXT's COUNT bits 15/14/13 and progress in LBA 15:0, and the NVMe
// sanitize status log (SPROG at 0, SSTAT at 2).
TEST(FirmwareCommandBytes, Answers) {
  const uint8_t sense[] = {0x72, 0x01, 0x00, 0x1D, 0,    0, 0,    14, 0x09, 12,   0x01,
                           0x00, 0x40, 0x00, 0,    0x34, 0, 0x12, 0,  0,    0x40, 0x50};
  TAtaReturn48 r;
  ASSERT_TRUE(sgio::ParseAtaReturn48(sense, sizeof sense, &r));
  EXPECT_EQ(r.Count, 0x4000);
  EXPECT_EQ(r.Lba, 0x1234u);
  EXPECT_EQ(r.Status, 0x50);
  TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
  EXPECT_TRUE(s.InProgress);
  EXPECT_FALSE(s.CompletedWithoutError || s.Frozen || s.Aborted);
  EXPECT_EQ(s.Progress, 0x1234);
  r = {0x04, 0x51, 0x40, 0x2000, 3};
  s = DecodeAtaSanitizeStatus(r);
  EXPECT_TRUE(s.Aborted && s.Frozen);
  EXPECT_EQ(s.Reason, 3);

  uint8_t log[512] = {0x00, 0x80, 0x02, 0x00};
  EXPECT_EQ(DecodeNvmeSanitizeStatus(log).Progress, 0x8000);
  EXPECT_EQ(DecodeNvmeSanitizeStatus(log).State, 2);

  // Windows carries only Sanitize block and crypto erase: STORAGE_REINITIALIZE_MEDIA
  // {16, 16, seconds, SanitizeMethod 1 or 2}.
  uint8_t in[win::kNVME_ERASE_IN_SIZE];
  BuildNvmeEraseRequest(NvmeSanitizeCommand(4), 60000, in);
  TNvmeErase e;
  ParseNvmeEraseRequest(in, sizeof in, 8, &e);
  uint8_t media[16];
  ASSERT_TRUE(ReinitializeMediaFor(e, media));
  EXPECT_EQ(Bytes(media, media + 16), (Bytes{16, 0, 0, 0, 16, 0, 0, 0, 60, 0, 0, 0, 2, 0, 0, 0}));
  BuildNvmeEraseRequest(NvmeSanitizeCommand(3), 60000, in);
  ParseNvmeEraseRequest(in, sizeof in, 8, &e);
  EXPECT_FALSE(ReinitializeMediaFor(e, media));
}

TEST(SampleCheck, SamplesEdgesAndSpread) {
  const auto list = SampleSectors(1000000, 512);
  EXPECT_EQ(list.front(), 0);
  EXPECT_EQ(list.back(), 999999);
  EXPECT_GE(list.size(), 2048u + 1000u);
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
  // A drive smaller than two MiB is sampled whole, once.
  EXPECT_EQ(SampleSectors(100, 512).size(), 100u);

  std::vector<TSampledSector> before = {{0, true, false, 1}, {1, true, true, 2}};
  std::vector<TSampledSector> after = {{0, true, true, 9}, {1, true, true, 2}};
  EXPECT_EQ(CompareSamples(before, after, "zeros").Result, "erased");
  after[0].Hash = 1;  // the data sector reads as before
  EXPECT_EQ(CompareSamples(before, after, "zeros").Result, "not-erased");
  before[0].Blank = true;  // everything was blank before: proves nothing
  EXPECT_EQ(CompareSamples(before, after, "zeros").Result, "inconclusive");
}

class FirmwareCli : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessState(); }
  void TearDown() override { SetHost(nullptr); }

  // One NVMe drive (a captured QEMU controller) or one ATA drive, 64 MiB,
  // with `erase` as its firmware_erase object.
  std::string Machine(bool nvme, const std::string& erase) {
    const std::string data = QUARNEL_TEST_DATA;
    std::string drive =
        R"({"number": 0, "length": 67108864, "product": "TESTDISK", "serial": "S1")";
    if (nvme) {
      drive += R"(, "bus_type": 17, "nvme_identify_ctrl_file": ")" + data +
               R"(/nvme/QEMU_NVMe_Ctrl/id-ctrl.bin", "nvme_identify_ns_file": ")" + data +
               R"(/nvme/QEMU_NVMe_Ctrl/id-ns.bin")";
    } else {
      drive += R"(, "bus_type": 11, "identify_file": ")" + data +
               R"(/drives/WDC_WD5000AAKS--00TMA0-12.01C01/identify.bin")";
    }
    drive += R"(, "firmware_erase": )" + erase + "}";
    const std::string path = (dir_.Path() / "machine.json").string();
    std::ofstream(path) << R"({"drives": [)" << drive << "]}";
    return "--simulate=" + path;
  }

  int Run(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = RunCli("quarnel-cli", args, out, err, {&in, false, false});
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  std::string Record() {
    std::ifstream in(record_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
  TSimFirmware& Firmware() { return static_cast<SimHost&>(GetHost()).Drive(0)->Firmware; }

  TTempFolder dir_{"firmware-cli"};
  std::string record_ = (dir_.Path() / "record.json").string();
  std::string out_, err_;
};

TEST_F(FirmwareCli, EachMethodRunsToItsEndAndIsChecked) {
  const struct {
    bool nvme;
    const char* method;
    const char* command;
  } cases[] = {{true, "block", "nvme-sanitize"},       {true, "crypto", "nvme-sanitize"},
               {true, "overwrite", "nvme-sanitize"},   {true, "format-user", "nvme-format"},
               {true, "format-crypto", "nvme-format"}, {false, "block", "ata-sanitize"},
               {false, "crypto", "ata-sanitize"},      {false, "overwrite", "ata-sanitize"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.nvme ? "nvme " : "ata ") + c.method);
    ResetProcessState();
    const std::string all = c.nvme ? R"(["block", "crypto", "overwrite", "format-user",
                                         "format-crypto"])"
                                   : R"(["block", "crypto", "overwrite"])";
    const std::string machine = Machine(c.nvme, R"({"seconds": 20, "methods": )" + all + "}");
    ASSERT_EQ(Run({machine, "format", "1", "--yes", std::string("--firmware=") + c.method,
                   "--record", record_, "--force"}),
              0)
        << out_ << err_;
    EXPECT_TRUE(Has(out_, "驱动器报告擦除完成。")) << out_;
    EXPECT_TRUE(Has(out_, "抽样检查结果: 抽样扇区的数据已清除。")) << out_;
    EXPECT_EQ(Firmware().EraseCommands, 1);
    const std::string record = Record();
    EXPECT_TRUE(Has(record, std::string("\"method\": \"") + c.method + "\"")) << record;
    EXPECT_TRUE(Has(record, std::string("\"command\": \"") + c.command + "\""));
    EXPECT_TRUE(Has(record, "\"result\": \"erased\""));
    EXPECT_TRUE(Has(record, "\"outcome\": \"complete\""));
    EXPECT_TRUE(Has(record, "\"nist_sp_800_88\": \"Purge\""));
    EXPECT_TRUE(Has(record, std::string("\"ieee_2883\": \"") +
                                (std::string(c.method) == "format-user" ? "Clear" : "Purge")));
  }
  // Without a method: the first offered in the order block, crypto, format-user, ...
  ResetProcessState();
  ASSERT_EQ(Run({Machine(true, R"({"methods": ["format-user", "crypto"]})"), "format", "1", "--yes",
                 "--firmware", "--record", record_, "--force"}),
            0);
  EXPECT_TRUE(Has(Record(), "\"method\": \"crypto\""));
}

TEST_F(FirmwareCli, RefusalsAndFailuresAreNeverSuccess) {
  const struct {
    bool nvme;
    const char* erase;
    const char* method;
    const char* said;
    int sent;  // erase commands the drive received
  } cases[] = {
      {true, R"({"methods": ["format-user"]})", "block",
       "驱动器不提供此擦除方法: block。它提供: format-user", 0},
      {true, R"({"methods": []})", "", "驱动器不提供自身擦除命令。", 0},
      {false, R"({"methods": ["block"], "faults": {"frozen": true}})", "block",
       "SANITIZE 已冻结，未发送任何命令", 0},
      {true, R"({"methods": ["block"], "faults": {"refused": 2}})", "block",
       "驱动器拒绝了擦除命令: invalid field in command", 1},
      {false, R"({"methods": ["block"], "faults": {"refused": 1}})", "block",
       "驱动器拒绝了擦除命令: sanitize command unsuccessful", 1},
      {false, R"({"methods": ["crypto"], "faults": {"failed": true}})", "crypto",
       "驱动器报告擦除失败", 1},
      {true, R"({"methods": ["overwrite"], "faults": {"failed": true}})", "overwrite",
       "驱动器报告擦除失败", 1},
      {true, R"({"methods": ["block"], "faults": {"stall_at": 0.5}})", "block",
       "秒没有变化，运行未完成。", 1},
      {true, R"({"methods": ["block"], "faults": {"no_change": true}})", "block", "数据未清除！",
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.erase);
    ResetProcessState();
    const std::string option = *c.method ? std::string("--firmware=") + c.method : "--firmware";
    EXPECT_EQ(Run({Machine(c.nvme, c.erase), "format", "1", "--yes", option}), 1);
    EXPECT_TRUE(Has(out_ + err_, c.said)) << out_ << err_;
    EXPECT_FALSE(Has(out_, "驱动器自身擦除完成。"));
    EXPECT_EQ(Firmware().EraseCommands, c.sent);
  }
  // A method nobody has, and the zero fill's options, stop at the command
  // line, before a host is chosen.
  const std::string machine = Machine(true, R"({"methods": ["block"]})");
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--firmware=wipe"}), 2);
  EXPECT_TRUE(Has(err_, "--firmware= takes block, crypto, format-user")) << err_;
  EXPECT_EQ(Run({machine, "format", "1", "--yes", "--firmware", "--quick"}), 2);
}

TEST_F(FirmwareCli, ConfirmationSaysWhenEveryNamespaceIsErased) {
  const char* warning = "此命令擦除该控制器的所有命名空间";
  Run({Machine(true, R"({"methods": ["format-user"], "all_namespaces": true})"), "format", "1",
       "--yes", "--firmware=format-user"});
  EXPECT_TRUE(Has(err_, "驱动器自身擦除: 格式化并擦除用户数据 (format-user)")) << err_;
  EXPECT_TRUE(Has(err_, warning));
  ResetProcessState();
  Run({Machine(true, R"({"methods": ["format-user"]})"), "format", "1", "--yes",
       "--firmware=format-user"});
  EXPECT_FALSE(Has(err_, warning)) << err_;
}

}  // namespace
}  // namespace quarnel::test
