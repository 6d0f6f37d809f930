#include "reports/SmartReport.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "nvme/NvmeCommands.h"
#include "reports/DeviceDetails.h"
#include "reports/Health.h"
#include "reports/NvmeReports.h"

namespace quarnel {

namespace {

struct TSmartName {
  int Id;
  const char* Name;  // with the trailing spaces that lay out the row
};

// Sorted by id. Some ids share a name (192 and 228; 222 and 226).
constexpr std::array<TSmartName, 54> kSmartNames = {{
    {1, "读取错误率           "},      {2, "吞吐量性能    "},
    {3, "旋转时间              "},     {4, "自旋向上次数   "},
    {5, "重新配置的扇区数 "},          {6, "读取信道余量       "},
    {7, "寻求错误率           "},      {8, "寻求性能          "},
    {9, "开机时间             "},      {10, "旋转重试           "},
    {11, "校准重试       "},           {12, "电源循环              "},
    {13, "软读错误率      "},          {99, "平均 FHC（所有头）   "},
    {100, "最小 FHC               "},  {101, "最大 FHC               "},
    {184, "端到端错误          "},     {187, "报告不可纠正    "},
    {188, "命令超时          "},       {189, "高飞写入           "},
    {190, "气流温度       "},          {192, "关闭退出计数   "},
    {193, "加载/卸载循环计数   "},     {194, "HDA 温度           "},
    {195, "硬件 ECC 恢复    "},        {196, "重新分配事件计数    "},
    {197, "当前待决扇区   "},          {198, "离线扫描 UNC 扇区  "},
    {199, "超级 ATA CRC 错误率  "},    {200, "前置放大器写入错误率"},
    {201, "偏离轨道读取错误     "},    {202, "DAM 读取错误           "},
    {203, "ECC 读取错误           "},  {204, "软 ECC 纠正      "},
    {205, "散热吸出         "},        {207, "高电流旋转      "},
    {208, "旋转嗡嗡声              "}, {209, "离线寻求表现 "},
    {210, "写入时振动    "},           {211, "读取期间振动     "},
    {212, "写入时冲击        "},       {220, "磁盘移位                "},
    {221, "G-传感器冲击计数器    "},   {222, "加载时间              "},
    {223, "加载重试计数          "},   {224, "负载摩擦             "},
    {225, "负载循环计数          "},   {226, "加载时间              "},
    {227, "扭矩放大      "},           {228, "关闭退出计数   "},
    {229, "飞行高度测量    "},         {230, "GMR 头振幅        "},
    {232, "可用保留空间  "},           {233, "介质磨损指数   "},
}};

constexpr const char* kUnknownName = "未知                   ";
constexpr uint8_t kTemperatureId = 194;

}  // namespace

std::string GetSmartAttributeName(int id) {
  const auto it = std::lower_bound(kSmartNames.begin(), kSmartNames.end(), id,
                                   [](const TSmartName& n, int key) { return n.Id < key; });
  return it != kSmartNames.end() && it->Id == id ? it->Name : kUnknownName;
}

std::string PadRight(const std::string& text, size_t width) {
  const size_t length = Utf8Length(text);
  return length >= width ? text : text + std::string(width - length, ' ');
}

std::string PadLeft(const std::string& text, size_t width) {
  const size_t length = Utf8Length(text);
  return length >= width ? text : std::string(width - length, ' ') + text;
}

std::string SmartAttributeRow(const TSmartEntry& e) {
  const uint8_t id = e[0];
  std::string row = " ";  // appended: GCC 12 at -O3 warns falsely on "literal" + string
  row += PadRight(DecText(id), 3) + "  " + Hex2(id) + "  " + GetSmartAttributeName(id) + "     " +
         PadLeft(DecText(e[3]), 5) + "  " + PadLeft(DecText(e[4]), 7) + "  " +
         PadLeft(DecTextU(SmartRawValue(e)), 16);
  // Only the drive temperature gets a note, from the lowest raw byte alone.
  if (id == kTemperatureId) row += "  (" + DecText(e[5]) + " 度) ";
  return row;
}

std::vector<std::string> SmartTableLines(const TAtaBlock& page) {
  std::vector<std::string> lines = {
      "          属性                      当前   最差          原始       注意",
      std::string(88, '-')};
  for (int k = 0; k < kSmartAttributeSlots; ++k) {
    TSmartEntry entry;
    std::memcpy(entry, page + kSmartFirstEntry + kSmartEntrySize * k, kSmartEntrySize);
    if (entry[0] == 0) break;  // later slots are not looked at
    lines.push_back(SmartAttributeRow(entry));
  }
  lines.push_back(" ");
  return lines;
}

TSmartFacts ReadSmartFacts(THandle handle, const TIdentifyDeviceData& id, bool withThresholds) {
  TSmartFacts f;
  f.Nvme = id.BusType == kBusTypeNvme;
  f.Sectors = id.LBA;
  if (f.Nvme) {
    TNvmeHealthBlock log = {};
    f.Read = NvmeReadHealthLog(handle, log);
    if (f.Read) f.Health = DecodeNvmeHealth(log);
    if (withThresholds) f.SelfTests = ReadSelfTestFacts(handle, id);
    return f;
  }
  TAtaBlock page = {};
  TAtaBlock thresholds = {};
  const bool ataBus = id.BusType == kBusTypeAta;
  TAtaBlock selfTestLog = {};
  bool selfTestLogRead = false;
  f.Read = withThresholds
               ? ReadSmartPage(handle, ataBus, id.IsIDESlave, page, thresholds, &f.ThresholdsRead,
                               &f.ReturnStatus, &selfTestLog, &selfTestLogRead)
               : ReadSmartPage(handle, ataBus, id.IsIDESlave, page);
  std::memcpy(f.Page.data(), page, kAtaBlockSize);
  std::memcpy(f.Thresholds.data(), thresholds, kAtaBlockSize);
  if (withThresholds && f.Read) {
    f.SelfTests = AtaSelfTestFacts(page, selfTestLogRead ? selfTestLog : nullptr);
  }
  return f;
}

std::vector<TSmartAttributeRow> SmartAttributes(const TSmartFacts& f) {
  std::vector<TSmartAttributeRow> list;
  if (f.Nvme || !f.Read) return list;
  for (int k = 0; k < kSmartAttributeSlots; ++k) {
    const uint8_t* e = f.Page.data() + kSmartFirstEntry + kSmartEntrySize * k;
    if (e[0] == 0) break;
    TSmartAttributeRow a;
    a.Id = e[0];
    a.Flags = static_cast<uint16_t>(e[1] | (e[2] << 8));
    a.Current = e[3];
    a.Worst = e[4];
    std::memcpy(a.RawBytes.data(), e + 5, a.RawBytes.size());
    for (int i = 10; i >= 5; --i) a.Raw = (a.Raw << 8) | e[i];
    if (f.ThresholdsRead) {
      // The thresholds page has the same layout (id, threshold); its entries
      // usually stand at the same place, but are matched by id.
      for (int t = 0; t < kSmartAttributeSlots && !a.Threshold; ++t) {
        const uint8_t* th = f.Thresholds.data() + kSmartFirstEntry +
                            kSmartEntrySize * ((k + t) % kSmartAttributeSlots);
        if (th[0] == a.Id) a.Threshold = th[1];
      }
    }
    list.push_back(a);
  }
  return list;
}

namespace {

// The report's lines after the heading, from what was read.
std::vector<std::string> SmartLines(const TSmartFacts& f) {
  if (!f.Read) return {"此设备不支持 SMART。"};
  if (f.Nvme) return NvmeHealthLines(f.Health);
  TAtaBlock page;
  std::memcpy(page, f.Page.data(), kAtaBlockSize);
  return SmartTableLines(page);
}

THealthAssessment ShowSmartReport(bool withHealth) {
  for (const std::string& line :
       ReportHeadingLines("SMART 数据: ", GetDeviceDescription(DeviceTable, SelectedDevice))) {
    AddSmartLog(line);
  }
  const TSmartFacts f =
      ReadSmartFacts(DeviceHandle, DeviceTable[SelectedDevice].IdentifyData, withHealth);
  for (const std::string& line : SmartLines(f)) AddSmartLog(line);
  if (!withHealth) return {};
  const THealthAssessment assessment = AssessSmartFacts(f);
  for (const std::string& line : HealthLines(assessment, f.Nvme)) AddSmartLog(line);
  for (const std::string& line : SelfTestLines(f.SelfTests)) AddSmartLog(line);
  return assessment;
}

}  // namespace

void ShowSmartData() { ShowSmartReport(false); }

THealthAssessment ShowSmartDataWithHealth() { return ShowSmartReport(true); }

THealthAssessment QueryDriveHealth(THandle handle, const TIdentifyDeviceData& id) {
  return AssessSmartFacts(ReadSmartFacts(handle, id, true));
}

}  // namespace quarnel
