#include "reports/SelfTest.h"

#include <cstring>

#include "ata/AtaCommands.h"
#include "ata/AtaSelfTest.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "nvme/NvmeCommands.h"
#include "nvme/NvmeSelfTest.h"

namespace quarnel {

namespace {

bool IsNvme(const TIdentifyDeviceData& id) { return id.BusType == kBusTypeNvme; }

const char* TypeText(TSelfTestType t) {
  switch (t) {
    case TSelfTestType::Offline:
      return "离线数据收集";
    case TSelfTestType::Short:
      return "短测试";
    case TSelfTestType::Extended:
      return "扩展测试";
    case TSelfTestType::Conveyance:
      return "传输测试";
    case TSelfTestType::Selective:
      return "选择性测试";
    case TSelfTestType::Vendor:
      break;
  }
  return "厂商测试";
}

std::string StatusText(const TSelfTestEntry& e) {
  switch (e.Status) {
    case TSelfTestStatus::Completed:
      return "完成, 无错误";
    case TSelfTestStatus::AbortedByHost:
      return "被主机中止";
    case TSelfTestStatus::Interrupted:
      return "被复位或其他命令中断";
    case TSelfTestStatus::FatalError:
      return "致命错误, 未能完成";
    case TSelfTestStatus::FailedUnknown:
      return "失败: 未知部件";
    case TSelfTestStatus::FailedElectrical:
      return "失败: 电气部件";
    case TSelfTestStatus::FailedServo:
      return "失败: 伺服部件";
    case TSelfTestStatus::FailedRead:
      return "失败: 读取部件";
    case TSelfTestStatus::FailedHandling:
      return "失败: 疑似搬运损伤";
    case TSelfTestStatus::FailedSegment:
      return "失败: 第 " + DecText(e.Segment) + " 段";
    case TSelfTestStatus::AbortedOther:
      return "中止: 其他原因";
    case TSelfTestStatus::InProgress:
      return "进行中";
    case TSelfTestStatus::Unknown:
      break;
  }
  return "未知状态 " + DecText(e.StatusCode);
}

TSelfTestFacts NvmeFacts(THandle handle) {
  TSelfTestFacts f;
  f.Nvme = true;
  TNvmeIdentifyBlock controller = {};
  f.Asked = NvmeIdentifyController(handle, controller);
  f.Offered = f.Asked && NvmeOffersSelfTest(controller);
  if (!f.Offered) return f;
  f.ExtendedMinutes = NvmeExtendedSelfTestMinutes(controller);
  TNvmeSelfTestBlock log = {};
  f.LogRead = NvmeReadSelfTestLog(handle, log) &&
              DecodeNvmeSelfTestLog(log, sizeof log, &f.Progress, &f.Log);
  f.ProgressRead = f.LogRead;
  return f;
}

}  // namespace

TSelfTestFacts AtaSelfTestFacts(const uint8_t* page, const uint8_t* log) {
  TSelfTestFacts f;
  f.Asked = true;
  TAtaBlock block;
  std::memcpy(block, page, kAtaBlockSize);
  const TAtaSelfTestCapability c = AtaSelfTestCapability(block);
  f.Offered = c.SelfTest;
  if (!f.Offered) return f;
  f.Conveyance = c.Conveyance;
  f.ShortMinutes = c.ShortMinutes;
  f.ExtendedMinutes = c.ExtendedMinutes;
  f.ProgressRead = true;
  f.Progress = AtaSelfTestProgress(block);
  f.LogRead = log != nullptr && DecodeAtaSelfTestLog(log, kAtaBlockSize, &f.Log);
  return f;
}

TSelfTestFacts ReadSelfTestFacts(THandle handle, const TIdentifyDeviceData& id) {
  if (IsNvme(id)) return NvmeFacts(handle);
  TAtaBlock page = {};
  // SMART must be on already: a self-test runs on after this program ends,
  // and switching SMART off behind it would stop it.
  if (!SmartReadData(handle, id.IsIDESlave, page)) return {};
  TAtaBlock log = {};
  const bool logRead =
      SmartPageOffersSelfTest(page) && AtaReadSelfTestLog(handle, id.IsIDESlave, log);
  return AtaSelfTestFacts(page, logRead ? log : nullptr);
}

bool ReadSelfTestProgress(THandle handle, const TIdentifyDeviceData& id, TSelfTestProgress* p) {
  if (IsNvme(id)) {
    TNvmeSelfTestBlock log = {};
    std::vector<TSelfTestEntry> entries;
    return NvmeReadSelfTestLog(handle, log) && DecodeNvmeSelfTestLog(log, sizeof log, p, &entries);
  }
  TAtaBlock page = {};
  if (!SmartReadData(handle, id.IsIDESlave, page)) return false;
  *p = AtaSelfTestProgress(page);
  return true;
}

TSelfTestStart StartSelfTest(THandle handle, const TIdentifyDeviceData& id, const TSelfTestFacts& f,
                             TSelfTestKind kind) {
  if (!f.Offered) return TSelfTestStart::NotOffered;
  if (kind == TSelfTestKind::Conveyance && !f.Conveyance) return TSelfTestStart::KindNotOffered;
  if (kind != TSelfTestKind::Abort && f.ProgressRead && f.Progress.Running) {
    return TSelfTestStart::AlreadyRunning;
  }
  if (!f.Nvme) {
    return AtaExecuteSelfTest(handle, id.IsIDESlave, AtaSelfTestSubcommand(kind))
               ? TSelfTestStart::Started
               : TSelfTestStart::Refused;
  }
  uint32_t status = 0;
  if (!NvmeSendSelfTest(handle, NvmeSelfTestCode(kind), &status)) return TSelfTestStart::Refused;
  if (status == kNvmeSelfTestInProgress) return TSelfTestStart::AlreadyRunning;
  return status == 0 ? TSelfTestStart::Started : TSelfTestStart::Refused;
}

const char* SelfTestKindName(TSelfTestKind kind) {
  switch (kind) {
    case TSelfTestKind::Short:
      return "short";
    case TSelfTestKind::Extended:
      return "extended";
    case TSelfTestKind::Conveyance:
      return "conveyance";
    case TSelfTestKind::Abort:
      break;
  }
  return "abort";
}

bool SelfTestFailed(TSelfTestStatus s) {
  return s == TSelfTestStatus::FatalError || s == TSelfTestStatus::FailedUnknown ||
         s == TSelfTestStatus::FailedElectrical || s == TSelfTestStatus::FailedServo ||
         s == TSelfTestStatus::FailedRead || s == TSelfTestStatus::FailedHandling ||
         s == TSelfTestStatus::FailedSegment;
}

std::string SelfTestEntryText(const TSelfTestEntry& e) {
  std::string text = std::string(TypeText(e.Type)) + "  " + StatusText(e);
  if (e.RemainingPercent && *e.RemainingPercent != 0) {
    text += "  剩余 " + DecText(*e.RemainingPercent) + "%";
  }
  text += "  通电 " + DecTextU(e.LifetimeHours) + " 小时";
  if (e.FailingLba) {
    text += "  首个错误 LBA " + DecTextU(*e.FailingLba);
  }
  return text;
}

std::vector<std::string> SelfTestLines(const TSelfTestFacts& f, size_t count) {
  std::vector<std::string> lines;
  if (!f.Asked) {
    lines.push_back("自检: 设备未回答");
  } else if (!f.Offered) {
    lines.push_back("自检: 此设备不提供自检。");
  } else {
    const auto minutes = [](uint32_t m) {
      return m == 0 ? std::string() : " (约 " + DecText(m) + " 分钟)";
    };
    std::string offered =
        "自检: 短测试" + minutes(f.ShortMinutes) + ", 扩展测试" + minutes(f.ExtendedMinutes);
    if (f.Conveyance) offered += ", 传输测试";
    lines.push_back(offered);
    if (f.ProgressRead && f.Progress.Running) {
      lines.push_back("正在进行自检: 剩余 " + DecText(f.Progress.RemainingPercent) + "%");
    }
    if (!f.LogRead) {
      lines.push_back("自检日志: 读取失败");
    } else if (f.Log.empty()) {
      lines.push_back("自检日志: 无记录");
    } else {
      lines.push_back("自检日志 (最新在前):");
      for (size_t i = 0; i < f.Log.size() && i < count; ++i) {
        lines.push_back("  " + SelfTestEntryText(f.Log[i]));
      }
    }
  }
  lines.push_back(" ");
  return lines;
}

}  // namespace quarnel
