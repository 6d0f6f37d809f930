#include "record/Certificate.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "record/CertificateFile.h"
#include "json/HealthJson.h"
#include "record/RecordSeal.h"
#include "reports/SmartReport.h"

namespace quarnel {

namespace {

using json = nlohmann::json;

// Lists longer than this show their first entries and a count: the page must
// stay one A4 page whatever the record holds.
constexpr size_t kListedBlocks = 3;

// The SMART attributes that tell wear and remapped sectors.
constexpr int kWearAttributes[] = {5, 9, 173, 177, 187, 196, 197, 198, 231, 232, 233};

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

const json& At(const json& j, const char* key) {
  static const json kNull;
  if (!j.is_object()) return kNull;
  const auto it = j.find(key);
  return it == j.end() ? kNull : *it;
}

std::string Text(const json& j, const char* key) {
  const json& v = At(j, key);
  return v.is_string() ? v.get<std::string>() : "";
}

int64_t Number(const json& j, const char* key, int64_t otherwise = 0) {
  const json& v = At(j, key);
  return v.is_number() ? v.get<int64_t>() : otherwise;
}

bool Flag(const json& j, const char* key) {
  const json& v = At(j, key);
  return v.is_boolean() && v.get<bool>();
}

// For SVG: always a decimal point, whatever the locale. Room for any double
// written in full; the page's numbers are far smaller.
std::string Plain(double value, int decimals) {
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0");
}

// Samples are whole milliseconds apart: closer ones give no speed.
constexpr double kShortestInterval = 0.0005;

// For people: the locale's decimal separator, as the program shows numbers.
std::string Fixed(double value, int decimals) {
  return WithLocaleDecimalPoint(Plain(value, decimals));
}

// A fact across the table, or two side by side.
std::string Row(const std::string& label, const std::string& valueHtml) {
  return "<tr><th>" + Escape(label) + "</th><td colspan=\"3\">" + valueHtml + "</td></tr>\n";
}

std::string Pair(const std::string& label1, const std::string& value1Html,
                 const std::string& label2, const std::string& value2Html) {
  return "<tr><th>" + Escape(label1) + "</th><td>" + value1Html + "</td><th>" + Escape(label2) +
         "</th><td>" + value2Html + "</td></tr>\n";
}

std::string Bytes(int64_t n) { return IntToStrGrouped(n) + " 字节"; }

// h:mm:ss.s
std::string Duration(double seconds) {
  if (seconds < 0) return "未知";
  const auto tenths = static_cast<int64_t>(seconds * 10 + 0.5);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(tenths / 36000),
                static_cast<long long>(tenths / 600 % 60),
                static_cast<long long>(tenths / 10 % 60));
  return buf + WithLocaleDecimalPoint("." + std::to_string(tenths % 10));
}

const char* OutcomeText(const std::string& outcome) {
  if (outcome == "complete") return "完成";
  if (outcome == "failed") return "失败";
  if (outcome == "cancelled") return "已取消";
  if (outcome == "aborted") return "已中止（设备已断开）";
  if (outcome == "not-locked") return "无法锁定设备，未写入任何数据";
  if (outcome == "drive-changed") return "设备已更换，未写入任何数据";
  return "未知";
}

const char* CoverageText(const std::string& coverage) {
  if (coverage == "all-sectors") return "所有扇区";
  if (coverage == "visible-sectors-only") return "仅可见扇区（隐藏区域未被擦除）";
  if (coverage == "undetermined") return "无法确定";
  return "未知";
}

std::string ModeText(const json& mode) {
  const std::string kind = Text(mode, "kind");
  if (kind == "full") return "完整擦除，写入零";
  if (kind == "quick") return "快速擦除，写入零";
  if (kind == "firmware") return "设备自带擦除命令（" + Escape(Text(mode, "method")) + "）";
  return "未知";
}

std::string RangesHtml(const json& ranges) {
  std::string out;
  for (const json& r : ranges.is_array() ? ranges : json::array()) {
    const int64_t offset = Number(r, "offset"), length = Number(r, "length");
    if (!out.empty()) out += "；";
    out += "字节 " + IntToStrGrouped(offset) + " – " + IntToStrGrouped(offset + length - 1) + "（" +
           Bytes(length) + "）";
  }
  return out.empty() ? "无" : out;
}

std::string BlocksHtml(const json& blocks) {
  if (!blocks.is_array() || blocks.empty()) return "无";
  std::string out;
  for (size_t i = 0; i < std::min(blocks.size(), kListedBlocks); ++i) {
    const json& b = blocks[i];
    out += (i ? "；" : "") + std::string("偏移 ") + IntToStrGrouped(Number(b, "offset")) + "，" +
           Bytes(Number(b, "length")) + "：" + Escape(Text(b, "error"));
    if (!Text(b, "text").empty()) out += " – " + Escape(Text(b, "text"));
  }
  if (blocks.size() > kListedBlocks) {
    out += "；另有 " + IntToStrGrouped(static_cast<int64_t>(blocks.size() - kListedBlocks)) +
           " 个（见擦除记录）";
  }
  return out;
}

std::string VerificationHtml(const json& v) {
  if (!Flag(v, "asked")) return "未要求";
  if (!Flag(v, "ran")) return "已要求，但未进行（擦除未成功完成）";
  const json& bad = At(v, "bad_blocks");
  const bool clean = !bad.is_array() || bad.empty();
  return "已读回 " + Bytes(Number(v, "bytes_read")) + "：" +
         (clean ? std::string("全部为零") : "发现问题：" + BlocksHtml(bad));
}

std::string HiddenAreaHtml(const json& h) {
  if (!h.is_object()) return "不适用";
  auto sectors = [&](const char* key) {
    const json& v = At(h, key);
    return v.is_number() ? IntToStrGrouped(v.get<int64_t>()) : std::string("未知");
  };
  if (!Flag(h, "determined")) {
    return "无法确定" + (Text(h, "reason").empty() ? "" : "：" + Escape(Text(h, "reason")));
  }
  return "当前最大 " + sectors("current_max") + " 扇区，原生最大 " + sectors("native_max") +
         "，DCO 最大 " + sectors("dco_max") + "；隐藏扇区 " + sectors("hidden_sectors") +
         (Number(h, "hidden_sectors") > 0 ? "，<b>未被擦除</b>" : "");
}

std::string FirmwareHtml(const json& record) {
  std::string out;
  const json& f = At(record, "firmware_erase");
  if (f.is_object()) {
    out += Row("设备擦除命令", Escape(Text(f, "command")) + "，" +
                                   (Flag(f, "sent") ? "已发送" : "未发送") + "，状态 " +
                                   IntToStrGrouped(Number(f, "status")) + " " +
                                   Escape(Text(f, "status_text")));
  }
  const json& c = At(record, "sample_check");
  if (c.is_object()) {
    out +=
        Row("抽样检查", Escape(Text(c, "result")) + "：" + IntToStrGrouped(Number(c, "sectors")) +
                            " 个扇区，已改变 " + IntToStrGrouped(Number(c, "changed")) +
                            "，未改变 " + IntToStrGrouped(Number(c, "unchanged")) + "，无法读取 " +
                            IntToStrGrouped(Number(c, "unreadable")));
  }
  return out;
}

const json* Attribute(const json& table, int id) {
  if (!table.is_array()) return nullptr;
  for (const json& a : table) {
    if (Number(a, "id", -1) == id) return &a;
  }
  return nullptr;
}

std::string AttributeName(int id) {
  switch (id) {
    case 173:
    case 177:
      return "磨损均衡计数";
    case 231:
      return "SSD 剩余寿命";
    default:
      return Trim(GetSmartAttributeName(id));
  }
}

// A text the person gave, or a line to fill in by hand.
std::string Given(const json& context, const char* key) {
  const std::string text = Text(context, key);
  return text.empty() ? std::string("________________") : Escape(text);
}

std::string MediumText(const json& medium) {
  const std::string type = Text(medium, "type");
  if (type == "rotating") {
    const int64_t rate = Number(medium, "rotation_rate");
    return rate > 0 ? "旋转磁盘（" + IntToStrGrouped(rate) + " 转/分）" : "旋转磁盘";
  }
  if (type == "solid-state") return "固态（ATA）";
  if (type == "nvme") return "固态（NVMe）";
  if (type == "flash-card") return "闪存卡";
  return "未知";
}

// The verdict before the run and after it, as the question and the report
// word it; a record without one (older, or no SMART data) says so.
std::string HealthHtml(const json& health) {
  if (!health.is_object()) return "未评估";
  const THealthAssessment before = ReadHealthObject(At(health, "before"));
  std::string html = "擦除前: " + Escape(HealthConfirmationLine(before));
  const json& afterJson = At(health, "after");
  if (afterJson.is_object()) {
    const THealthAssessment after = ReadHealthObject(afterJson);
    html += "<br>擦除后: " + Escape(HealthConfirmationLine(after));
    if (after.Verdict == THealthVerdict::Failing && before.Verdict != THealthVerdict::Failing) {
      html += "<br>" + Escape(kNotForReuseText);
    }
  }
  return html;
}

std::string SmartHtml(const json& smart) {
  if (!smart.is_object()) return "<p>该设备未提供 S.M.A.R.T. 数据。</p>\n";
  const json& before = At(smart, "before");
  const json& after = At(smart, "after");
  std::string rows;
  for (int id : kWearAttributes) {
    const json* b = Attribute(before, id);
    const json* a = Attribute(after, id);
    if (!b && !a) continue;
    auto cells = [](const json* e) {
      if (!e) return std::string("<td>–</td><td>–</td>");
      return "<td>" + IntToStrGrouped(Number(*e, "value")) + "</td><td>" +
             IntToStrGrouped(Number(*e, "raw")) + "</td>";
    };
    const bool changed = b && a && Number(*b, "raw") != Number(*a, "raw");
    rows += std::string(changed ? "<tr class=\"changed\">" : "<tr>") + "<td>" +
            IntToStrGrouped(id) + "</td><td>" + Escape(AttributeName(id)) + "</td>" + cells(b) +
            cells(a) + "</tr>\n";
  }
  if (rows.empty()) return "<p>S.M.A.R.T. 数据中没有磨损和重新分配相关的属性。</p>\n";
  return "<table class=\"smart\"><tr><th>ID</th><th>属性</th><th>之前 值</th><th>之前 原始值</th>"
         "<th>之后 值</th><th>之后 原始值</th></tr>\n" +
         rows + "</table>\n";
}

// What checking the signature established: a good signature under the
// record's own public key only says the record is as its key holder made
// it, not who that is.
std::string SignatureVerdict(TSignatureResult result, bool keyGiven) {
  switch (result) {
    case TSignatureResult::Good:
      return keyGiven ? "已用读者提供的公钥核对，签名有效"
                      : "只用记录自带的公钥核对，签名与记录相符；未用读者提供的公钥核对，"
                        "签名者未经确认";
    case TSignatureResult::Bad:
      return keyGiven ? "<b>签名不是用读者提供的公钥生成的</b>" : "<b>签名无效</b>";
    default:
      return "<b>未核对签名</b>（此版本无法核对 Ed25519 签名）";
  }
}

std::string SealHtml(const json& seal, const TSealCheck& check, bool keyGiven) {
  if (!seal.is_object()) return Row("封印", "<b>无封印</b>");
  const bool intact = check.Seal == TSealResult::Intact;
  std::string out = Row("封印 SHA-256", "<code>" + Escape(Text(seal, "sha256")) + "</code>（" +
                                            (intact ? "已核对，记录完整" : "<b>记录已被更改</b>") +
                                            "，Quarnel " + Escape(Text(seal, "version")) + "）");
  const json& sig = At(seal, "signature");
  if (sig.is_object()) {
    out += Row("Ed25519 签名", "<code>" + Escape(Text(sig, "value")) + "</code>，公钥 <code>" +
                                   Escape(Text(sig, "public_key")) + "</code>（" +
                                   SignatureVerdict(check.Signature, keyGiven) + "）");
  }
  return out;
}

}  // namespace

double SecondsBetween(const std::string& start, const std::string& end) {
  auto read = [](const std::string& t, double* seconds) {
    int y, mo, d, h, mi, s, ms;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &y, &mo, &d, &h, &mi, &s, &ms) !=
        7) {
      return false;
    }
    // Days from the civil date (proleptic Gregorian).
    y -= mo <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = static_cast<double>(era) * 146097 + doe - 719468;
    *seconds = days * 86400 + h * 3600 + mi * 60 + s + ms / 1000.0;
    return true;
  };
  double a = 0, b = 0;
  if (!read(start, &a) || !read(end, &b) || b < a) return -1;
  return b - a;
}

std::string SpeedGraphSvg(const json& samples) {
  constexpr double kWidth = 600, kHeight = 84, kLeft = 48, kBottom = 18, kTop = 6;
  struct TPoint {
    double From, To, Speed;  // the speed between two samples
  };
  std::vector<std::pair<double, double>> kept;  // seconds, bytes
  for (const json& s : samples.is_array() ? samples : json::array()) {
    const json& t = At(s, "seconds");
    const json& b = At(s, "bytes");
    if (t.is_number() && b.is_number()) kept.emplace_back(t.get<double>(), b.get<double>());
  }
  // Thinned, the first and last kept: the speed between two kept samples is
  // the average over those between, and the page stays small.
  if (kept.size() > kDrawnSamples) {
    const size_t step = (kept.size() - 2) / (kDrawnSamples - 1) + 1;
    std::vector<std::pair<double, double>> thin;
    for (size_t i = 0; i < kept.size() - 1; i += step) thin.push_back(kept[i]);
    thin.push_back(kept.back());
    kept.swap(thin);
  }
  std::vector<TPoint> points;
  double top = 0, last = 0;
  for (size_t i = 1; i < kept.size(); ++i) {
    const auto [previousT, previousB] = kept[i - 1];
    const auto [seconds, bytes] = kept[i];
    if (seconds - previousT >= kShortestInterval) {
      const double speed = (bytes - previousB) / (seconds - previousT) / 1e6;
      points.push_back({previousT, seconds, speed});
      top = std::max(top, speed);
      last = std::max(last, seconds);
    }
  }
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Plain(kWidth, 0) +
                    "\" height=\"" + Plain(kHeight, 0) + "\" viewBox=\"0 0 " + Plain(kWidth, 0) +
                    " " + Plain(kHeight, 0) + "\" class=\"graph\">\n";
  const double plotW = kWidth - kLeft - 4, plotH = kHeight - kBottom - kTop;
  svg += "<rect x=\"" + Plain(kLeft, 0) + "\" y=\"" + Plain(kTop, 0) + "\" width=\"" +
         Plain(plotW, 0) + "\" height=\"" + Plain(plotH, 0) +
         "\" fill=\"none\" stroke=\"#888\" stroke-width=\"0.5\"/>\n";
  if (points.empty() || top <= 0 || last <= 0) {
    return svg + "<text x=\"" + Plain(kLeft + 8, 0) + "\" y=\"" + Plain(kTop + plotH / 2, 0) +
           "\" font-size=\"11\">记录中没有足够的速度样本。</text>\n</svg>";
  }
  std::string line;
  for (const TPoint& p : points) {
    const double y = kTop + plotH - std::max(0.0, p.Speed) / top * plotH;
    for (double t : {p.From, p.To}) {
      line += (line.empty() ? "" : " ") + Plain(kLeft + t / last * plotW, 1) + "," + Plain(y, 1);
    }
  }
  const std::string base = Plain(kTop + plotH, 1);
  svg += "<polygon points=\"" + Plain(kLeft + points.front().From / last * plotW, 1) + "," + base +
         " " + line + " " + Plain(kLeft + plotW, 1) + "," + base + "\" fill=\"#dbe7f6\"/>\n";
  svg +=
      "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"#1a5fb4\" stroke-width=\"1.5\"/>\n";
  svg += "<text x=\"" + Plain(kLeft - 4, 0) + "\" y=\"" + Plain(kTop + 9, 0) +
         "\" font-size=\"9\" text-anchor=\"end\">" + Plain(top, top < 10 ? 1 : 0) +
         " MB/s</text>\n";
  svg += "<text x=\"" + Plain(kLeft - 4, 0) + "\" y=\"" + Plain(kTop + plotH, 0) +
         "\" font-size=\"9\" text-anchor=\"end\">0 MB/s</text>\n";
  svg += "<text x=\"" + Plain(kLeft, 0) + "\" y=\"" + Plain(kHeight - 4, 0) +
         "\" font-size=\"9\">0</text>\n";
  svg += "<text x=\"" + Plain(kLeft + plotW, 0) + "\" y=\"" + Plain(kHeight - 4, 0) +
         "\" font-size=\"9\" text-anchor=\"end\">" + Escape(Duration(last)) + "</text>\n";
  return svg + "</svg>";
}

namespace {

std::string Page(const json& record, const TSealCheck& check, bool keyGiven) {
  const json& drive = At(record, "drive");
  const json& host = At(record, "host");
  const json& mode = At(record, "mode");
  const std::string start = Text(record, "start"), end = Text(record, "end");
  const double seconds = SecondsBetween(start, end);
  const int64_t written = Number(record, "bytes_written");
  // The speed of the writing itself, from its last sample; the times of the
  // record also hold the read-back and the SMART reads.
  std::string speed = "未知";
  const json& samples = At(record, "speed_samples");
  if (samples.is_array() && !samples.empty() && At(samples.back(), "seconds").is_number() &&
      At(samples.back(), "seconds").get<double>() >= kShortestInterval) {
    const double s = At(samples.back(), "seconds").get<double>();
    speed = Fixed(static_cast<double>(Number(samples.back(), "bytes")) / s / 1e6, 1) + " MB/s";
  }

  std::string h =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>数据擦除证书 – " +
      Escape(Text(drive, "serial")) +
      "</title>\n<style>\n"
      "@page { size: A4; margin: 12mm; }\n"

      "body { font-family: \"Noto Sans CJK SC\", \"Microsoft YaHei\", sans-serif; font-size: 8.5pt;"
      " margin: 0; color: #000; }\n"
      "h1 { font-size: 15pt; margin: 0 0 1.5mm 0; }\n h2 { font-size: 10pt; margin: 2.5mm 0 0.8mm "
      "0;"
      " border-bottom: 0.5pt solid #444; }\n"
      "table { border-collapse: collapse; width: 100%; }\n"
      "th, td { text-align: left; vertical-align: top; padding: 0.3mm 1.2mm; }\n"
      "table.facts th { width: 20mm; font-weight: normal; color: #333; white-space: nowrap; }\n"
      "table.smart { font-size: 7.5pt; }\n"
      "table.smart th, table.smart td { border: 0.5pt solid #999; padding: 0.1mm 1.2mm; }\n"
      "tr.changed td { font-weight: bold; }\n"
      "code { font-size: 7.5pt; word-break: break-all; }\n"
      ".note { border: 1pt solid #000; padding: 1.5mm; margin: 2mm 0; }\n"
      ".graph { width: 100%; height: auto; }\n"
      ".sign td { padding-top: 8mm; border-bottom: 0.5pt solid #000; width: 16%; }\n"
      ".sign th { font-weight: normal; padding-top: 1mm; }\n"
      "@media screen { body { width: 186mm; margin: 12mm auto; } }\n"
      "</style>\n</head>\n<body>\n<h1>数据擦除证书</h1>\n";
  if (Text(mode, "kind") == "quick") {
    h += "<p class=\"note\">这是一次快速擦除：只有下列字节范围被写入零。驱动器的其余部分未被写入，"
         "其中的数据仍然存在。<br>" +
         RangesHtml(At(mode, "ranges")) + "</p>\n";
  }
  const json& category = At(record, "sanitization");
  h += "<h2>驱动器</h2>\n<table class=\"facts\">\n";
  h += Pair("型号", Escape(Text(drive, "model")), "序列号",
            "<b>" + Escape(Text(drive, "serial")) + "</b>");
  h += Pair("固件", Escape(Text(drive, "firmware")), "容量",
            Bytes(Number(drive, "capacity")) + "（" + IntToStrGrouped(Number(drive, "sectors")) +
                " 扇区 × " + IntToStrGrouped(Number(drive, "sector_size")) + " 字节）");
  h += Pair("介质类型", MediumText(At(record, "medium")), "资产编号",
            Given(At(record, "context"), "asset_tag"));
  h += Pair("总线", Escape(Text(drive, "bus")) + "，" + Escape(Text(drive, "path")), "主机",
            Escape(Text(host, "system")) + " " + Escape(Text(host, "version")) +
                (Flag(host, "simulated") ? "（模拟设备）" : ""));
  const json& context = At(record, "context");
  h += Pair("操作员", Given(context, "operator"), "单位", Given(context, "organisation"));
  h += Pair("地点", Given(context, "location"), "工具",
            Escape(Text(At(record, "program"), "name")) + " " +
                Escape(Text(At(record, "program"), "version")));
  h += "</table>\n<h2>擦除</h2>\n<table class=\"facts\">\n";
  h += Pair("方法", ModeText(mode), "结果",
            "<b>" + std::string(OutcomeText(Text(record, "outcome"))) + "</b>");
  h += Row("写入范围", RangesHtml(At(mode, "ranges")));
  h += Row("开始 / 结束",
           Escape(start) + " / " + Escape(end) + "（UTC），用时 " + Duration(seconds));
  h += Row("已写入", Bytes(written) + "，平均速度 " + speed);
  h += Row("写入失败的块", BlocksHtml(At(record, "failed_blocks")));
  h += Row("校验", VerificationHtml(At(record, "verification")));
  h += Row("隐藏区域", HiddenAreaHtml(At(record, "hidden_area")));
  h += Row("健康评估", HealthHtml(At(record, "health")));
  h += FirmwareHtml(record);
  h += Pair("覆盖范围", CoverageText(Text(record, "coverage")), "净化类别",
            "NIST SP 800-88 Rev. 1：" + Escape(Text(category, "nist_sp_800_88")) +
                "；IEEE 2883-2022：" + Escape(Text(category, "ieee_2883")));
  h += "</table>\n<h2>速度</h2>\n" + SpeedGraphSvg(At(record, "speed_samples")) + "\n";
  h += "<h2>S.M.A.R.T.（擦除前后）</h2>\n" + SmartHtml(At(record, "smart"));
  h += "<h2>封印</h2>\n<table class=\"facts\">\n" + SealHtml(At(record, "seal"), check, keyGiven) +
       "</table>\n";
  // Lines to sign by hand, for whoever erased and whoever checked.
  h += "<table class=\"sign\">\n<tr><td></td><td></td><td></td><td></td><td></td><td></td></tr>\n"
       "<tr><th>擦除人 姓名 / 职务</th><th>日期</th><th>签名</th>"
       "<th>核查人 姓名 / 职务</th><th>日期</th><th>签名</th></tr>\n</table>\n</body>\n</html>\n";
  return h;
}

}  // namespace

bool CertificateHtml(const json& record, const TSealCheck& check, bool keyGiven, std::string* html,
                     std::string* error) {
  // Out of range, a number would overflow the page's sums and times.
  if (!NumbersExact(record)) {
    *error = "the record holds a number of 2^53 or more, which no drive has";
    return false;
  }
  *html = Page(record, check, keyGiven);
  return true;
}

std::string SaveCertificateFor(const std::string& recordFile) {
  std::string page = recordFile;
  if (page.size() > 5 && page.compare(page.size() - 5, 5, ".json") == 0)
    page.resize(page.size() - 5);
  page += ".html";
  std::string text, error;
  if (ReadSmallFile(recordFile, 64 * 1024 * 1024, &text, &error)) {
    const TSealCheck check = CheckRecordSeal(text, nullptr);
    std::string html;
    if (check.Seal != TSealResult::Intact) {
      error = "the record is altered (" + check.Reason + ")";
    } else if (CertificateHtml(json::parse(text), check, false, &html, &error)) {
      // Beside the record, in the user's folder, with the user's rights.
      const bool written = RunAsInvokingUser([&] {
        TKeptFile file;
        return file.Open(page, true, &error) && file.Replace(html, &error);
      });
      if (written) {
        AddLog("擦除证书已保存: " + page);
        return page;
      }
      if (error.empty()) error = "the user's rights could not be taken";
    }
  }
  AddLog("无法生成擦除证书: " + page + " - " + error);
  return "";
}

}  // namespace quarnel
