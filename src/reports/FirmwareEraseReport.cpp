#include "reports/FirmwareEraseReport.h"

namespace quarnel {

std::vector<std::string> FirmwareEraseLines(const TFirmwareCaps& caps) {
  std::vector<std::string> lines = {" ", "驱动器自身擦除:"};
  if (caps.Offered.empty()) {
    lines.push_back("驱动器不提供自身擦除命令");
  }
  for (TFirmwareMethod m : caps.Offered) {
    lines.push_back("支持 " + FirmwareMethodText(m) +
                    (caps.CoversAllNamespaces(m) ? "，作用于控制器的所有命名空间" : ""));
  }
  if (caps.Nvme && caps.Known) {
    lines.push_back(caps.Dlfeat == 1   ? "已擦除的块读出为 00h"
                    : caps.Dlfeat == 2 ? "已擦除的块读出为 FFh"
                                       : "驱动器未声明已擦除的块读出的值");
  }
  if (caps.Ata && caps.Known) {
    if (caps.SanitizeFrozen) lines.push_back("SANITIZE 当前已冻结（需断电再上电）");
    // Word 128, where it reports the security feature set: a password set
    // or a frozen state bears on any erase; SECURITY ERASE UNIT is not offered.
    if (caps.SecuritySupported) {
      std::string security = "安全状态: ";
      security += caps.SecurityEnabled ? "已启用密码" : "未启用密码";
      if (caps.SecurityLocked) security += ", 已锁定";
      if (caps.SecurityFrozen) security += ", 已冻结";
      lines.push_back(security);
    }
  }
  return lines;
}

}  // namespace quarnel
