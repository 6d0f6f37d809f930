#include "reports/DeviceDetails.h"

#include <cstring>

#include "ata/AtaCommands.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/ProgramInfo.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "nvme/NvmeCommands.h"
#include "reports/FirmwareEraseReport.h"
#include "reports/HiddenAreaReport.h"
#include "reports/NvmeReports.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

constexpr int64_t kCapacityFactor = 512;

void AddSecurityLines(const T_IDE_PASSPORT& p, std::vector<std::string>& lines) {
  lines.push_back("安全:");
  lines.push_back(p.securitysupport ? "支持安全功能" : "不支持安全功能");
  if (!p.locked) {
    // The level is meaningless without a password, whatever the bit says.
    lines.push_back("设备当前未锁定");
  } else if (p.lockedmax) {
    lines.insert(lines.end(), {"驱动器当前已锁定", "安全等级: 最大", "设备需要将用户密码解锁。",
                               "如果用户密码是未知的，该设备可以与主密码被删除。"});
  } else {
    lines.insert(lines.end(), {"驱动器当前已锁定", "安全等级: 高", "设备需要用户或主密码来解锁。"});
  }
  lines.push_back(" ");
}

void AddFeatureLines(const T_IDE_PASSPORT& p, std::vector<std::string>& lines) {
  lines.push_back("特征:");
  lines.push_back(p.smartsupport ? "支持 SMART" : "不支持 SMART");
  lines.push_back(p.hpasupport ? "支持 HPA（主机保护区）" : "不支持 HPA（主机保护区域）");
  lines.push_back(p.aamsupport ? "支持 AAM（自动声学管理）" : "不支持 AAM（自动声学管理）");
  lines.push_back(p.StreamingSupported ? "支持流功能集" : "不支持流功能集");
  lines.push_back(" ");
  lines.push_back("队列:");
  if (p.QueueDepth > 0) {
    lines.push_back("设备支持命令队列");
    lines.push_back("最大队列深度" + DecText(p.QueueDepth + 1));
  } else {
    lines.push_back("设备不支持命令队列");
  }
}

}  // namespace

std::vector<std::string> ReportHeadingLines(const std::string& label,
                                            const std::string& description) {
  return {" ", "当前日期和时间: " + DateTimeText(), std::string(kProgramTitle) + "; " + kMakerUrl,
          label + description, " "};
}

std::string SectorBytesText(int64_t sectors) {
  if (sectors <= INT64_MAX / kCapacityFactor) return IntToStrGrouped(sectors * kCapacityFactor);
  // Only a made-up block gets here (more than 2^54 sectors): split the product
  // at its last three digits so that neither part overflows. The high part
  // then has 16 digits or more, so its own grouping is the right one.
  const int64_t high =
      (sectors / 1000) * kCapacityFactor + (sectors % 1000) * kCapacityFactor / 1000;
  const int64_t low = (sectors % 1000) * kCapacityFactor % 1000;
  std::string lowText = DecText(low);
  lowText.insert(0, 3 - lowText.size(), '0');
  return IntToStrGrouped(high) + "," + lowText;
}

std::vector<std::string> DeviceDetailsLines(const T_IDE_PASSPORT& p) {
  std::vector<std::string> lines = {"型号: " + p.name, "固件修订: " + p.fw, "序列号: " + p.sn};
  if (p.buffersize > 0) lines.push_back("缓冲大小: " + SizeToStr(p.buffersize));
  lines.push_back(" ");
  lines.push_back("物理参数:");
  lines.push_back(p.lba28support ? "支持 LBA 模式" : "不支持 LBA 模式");
  lines.push_back(p.lba48support ? "支持 LBA-48 模式" : "不支持 LBA-48 模式");
  lines.push_back("LBA 命令可用扇区: " + IntToStrGrouped(p.lba28sectors));
  lines.push_back("LBA48 命令可用扇区: " + IntToStrGrouped(p.lba48sectors));
  lines.push_back("设备容量: " + SectorBytesText(p.lbasectors) + " 字节");
  lines.push_back(" ");
  AddSecurityLines(p, lines);
  AddFeatureLines(p, lines);
  return lines;
}

TDetailsFacts ReadDetailsFacts(THandle handle, const TIdentifyDeviceData& id) {
  TDetailsFacts f;
  f.Nvme = id.BusType == kBusTypeNvme;
  if (f.Nvme) {
    TNvmeIdentifyBlock block = {};
    if (NvmeIdentifyController(handle, block)) {
      f.Controller = DecodeNvmeController(block);
      // The controller's facts stand without the namespace's.
      if (NvmeIdentifyNamespace(handle, block)) f.Namespace = DecodeNvmeNamespace(block);
    }
    f.FirmwareCaps = ReadFirmwareCaps(handle, id);
    return f;
  }
  TAtaBlock block = {};
  f.IdentifyRead = ReadIdentifyData(handle, id.IsIDESlave, block);
  // An ATA drive gets one more try before the failure counts as ours.
  if (!f.IdentifyRead && id.BusType == kBusTypeAta) {
    f.IdentifyRead = ReadIdentifyData(handle, id.IsIDESlave, block);
    f.IdentifyFailed = !f.IdentifyRead;
  }
  if (f.IdentifyRead) {
    std::memcpy(f.Identify.data(), block, kAtaBlockSize);
    uint8_t copy[kIdentifyBlockSize];
    std::memcpy(copy, block, sizeof copy);
    f.Passport = DecodeIdentifyData(copy);
    f.FirmwareCaps = ReadFirmwareCaps(handle, id);
  }
  if (HiddenAreasPossible(id.BusType)) {
    if (f.IdentifyRead) {
      f.HiddenArea = QueryHiddenArea(handle, id.IsIDESlave, block);
    } else {
      f.HiddenArea = THiddenAreaQuery{};
      f.HiddenArea->NativeReason = kHiddenAreaNoAta;
    }
  }
  return f;
}

std::vector<std::string> DetailsFactsLines(const TDetailsFacts& f) {
  std::vector<std::string> lines;
  const auto add = [&lines](const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
  };
  if (f.Nvme) {
    if (f.Controller) {
      add(NvmeDetailsLines(*f.Controller, f.Namespace));
    } else {
      lines.push_back("此设备无法使用详细信息。");
    }
  } else if (f.IdentifyFailed) {
    lines.push_back("详细信息不可用: 内部错误。");
    lines.push_back(std::string("在 ") + kForumUrl + " 提交这个问题");
  } else if (!f.IdentifyRead) {
    lines.push_back("此设备无法使用详细信息。");
  } else {
    add(DeviceDetailsLines(f.Passport));
  }
  // A drive whose data could not be read has had its failure line already.
  if (f.FirmwareCaps && f.FirmwareCaps->Known) add(FirmwareEraseLines(*f.FirmwareCaps));
  if (f.HiddenArea) add(HiddenAreaLines(*f.HiddenArea));
  return lines;
}

void ShowDeviceDetails() {
  for (const std::string& line :
       ReportHeadingLines("设备详细信息: ", GetDeviceDescription(DeviceTable, SelectedDevice))) {
    AddDetailsLog(line);
  }
  const TDetailsFacts facts =
      ReadDetailsFacts(DeviceHandle, DeviceTable[SelectedDevice].IdentifyData);
  for (const std::string& line : DetailsFactsLines(facts)) AddDetailsLog(line);
  if (facts.FirmwareCaps) {
    // The format page offers the same methods.
    std::vector<std::string> names;
    for (TFirmwareMethod m : facts.FirmwareCaps->Offered) names.push_back(FirmwareMethodName(m));
    Ui().SetFirmwareMethods(names);
  }
}

}  // namespace quarnel
