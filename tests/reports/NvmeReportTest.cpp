// Both reports of an NVMe drive through SimHost: the captured QEMU blocks,
// the refusals and a short reply.
#include <gtest/gtest.h>

#include "ReportFixture.h"
#include "base/Logging.h"
#include "reports/DeviceDetails.h"
#include "reports/SmartReport.h"

namespace quarnel {
namespace {

using test::OpenReportDrive;
using test::WithoutDateLine;

std::string CapturedNvme(const std::string& faults = "{}") {
  const std::string dir = "nvme/QEMU_NVMe_Ctrl/";
  return R"("bus_type": 17, "product": "QEMU NVMe Ctrl", "revision": "7.2.22",
            "nvme_identify_ctrl_file": ")" +
         dir + R"(id-ctrl.bin", "nvme_identify_ns_file": ")" + dir +
         R"(id-ns.bin", "nvme_health_file": ")" + dir + R"(smart-log.bin", "faults": )" + faults;
}

std::vector<std::string> AfterHeading(const std::vector<std::string>& lines) {
  const std::vector<std::string> rest = WithoutDateLine(lines);
  return rest.size() < 4 ? rest : std::vector<std::string>(rest.begin() + 4, rest.end());
}

TEST(NvmeReports, CapturedDriveAnswersBothReportsWithoutAtaCommands) {
  SimHost& host = OpenReportDrive(CapturedNvme());
  ShowDeviceDetails();
  const std::vector<std::string> details = AfterHeading(Log_Details.Lines());
  ASSERT_EQ(details.size(), 24u);
  EXPECT_EQ(details[0], "型号: QEMU NVMe Ctrl");
  EXPECT_EQ(details[12], "容量: 268,435,456 字节");
  // QEMU's controller formats (OACS bit 1), with no sanitize and no crypto erase.
  EXPECT_EQ(
      std::vector<std::string>(details.begin() + 20, details.end()),
      (std::vector<std::string>{" ", "驱动器自身擦除:", "支持 格式化并擦除用户数据 (format-user)",
                                "已擦除的块读出为 00h"}));
  ShowSmartData();
  const std::vector<std::string> health = AfterHeading(Log_Smart.Lines());
  ASSERT_EQ(health.size(), 18u);
  EXPECT_EQ(health[1], "温度:                 50 度");
  EXPECT_EQ(health[5], "读取数据单元:         197 [100.86 MB]");
  EXPECT_TRUE(host.Drive(0)->AtaCommands.empty());
}

TEST(NvmeReports, RefusalsAndShortRepliesAreTheUsualLines) {
  OpenReportDrive(CapturedNvme(R"({"nvme_identify_ctrl": 50, "nvme_health": 1117})"));
  ShowDeviceDetails();
  ShowSmartData();
  EXPECT_EQ(AfterHeading(Log_Details.Lines()),
            std::vector<std::string>{"此设备无法使用详细信息。"});
  EXPECT_EQ(AfterHeading(Log_Smart.Lines()), std::vector<std::string>{"此设备不支持 SMART。"});

  // A namespace that cannot be read leaves its section out; the rest stands.
  OpenReportDrive(CapturedNvme(R"({"nvme_identify_ns": 87})"));
  ShowDeviceDetails();
  const std::vector<std::string> details = AfterHeading(Log_Details.Lines());
  EXPECT_EQ(details.size(), 19u);  // and no format without the namespace's own
  EXPECT_EQ(details[9], "特征:");

  // A reply one byte short of the log is no log.
  OpenReportDrive(CapturedNvme(R"({"nvme_bytes": 559})"));
  ShowSmartData();
  EXPECT_EQ(AfterHeading(Log_Smart.Lines()), std::vector<std::string>{"此设备不支持 SMART。"});

  // An NVMe bus without NVMe blocks: the query is refused like on an old system.
  OpenReportDrive(R"("bus_type": 17)");
  ShowSmartData();
  EXPECT_EQ(AfterHeading(Log_Smart.Lines()), std::vector<std::string>{"此设备不支持 SMART。"});
}

}  // namespace
}  // namespace quarnel
