// The drive's own erase from the terminal on simulated drives: each method,
// each refusal, the sample check's catch, the all-namespaces warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/StartUp.h"
#include "cli/CliApp.h"
#include "host/sim/SimHost.h"
#include "support/CliFixture.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

class FirmwareCli : public CliTest {
 protected:
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
    return "--simulate=" + File("machine.json", R"({"drives": [)" + drive + "]}");
  }

  std::string Record() {
    std::ifstream in(record_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
  TSimFirmware& Firmware() { return static_cast<SimHost&>(GetHost()).Drive(0)->Firmware; }

  std::string record_ = (dir_ / "record.json").string();
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
