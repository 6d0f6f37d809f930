#include "record/EraseRecordFile.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/ProgramInfo.h"
#include "base/System.h"
#include "json/HealthJson.h"
#include "record/RecordSeal.h"

namespace quarnel {

namespace {

using json = nlohmann::ordered_json;

#ifdef _WIN32
constexpr const char* kSystemName = "Windows";
#else
constexpr const char* kSystemName = "Linux";
#endif

json Blocks(const std::vector<TBlockFault>& blocks, bool readBack) {
  json list = json::array();
  for (const TBlockFault& b : blocks) {
    json e = {{"offset", b.Offset}, {"length", b.Length}};
    if (readBack && b.Code == 0) {
      e["error"] = "not-zero";
      e["first_nonzero"] = b.FirstNonZero;
    } else {
      e["error"] = readBack ? "read" : "write";
      e["code"] = b.Code;
      e["text"] = b.Text;
    }
    list.push_back(std::move(e));
  }
  return list;
}

json Attributes(const std::vector<TSmartAttribute>& table) {
  json list = json::array();
  for (const TSmartAttribute& a : table) {
    list.push_back({{"id", a.Id}, {"value", a.Value}, {"worst", a.Worst}, {"raw", a.Raw}});
  }
  return list;
}

}  // namespace

const char* SampleResultName(TSampleResult result) {
  switch (result) {
    case TSampleResult::Erased:
      return "erased";
    case TSampleResult::NotErased:
      return "not-erased";
    case TSampleResult::Inconclusive:
      return "inconclusive";
  }
  return "";
}

const char* ErasedPatternName(TErasedPattern pattern) {
  switch (pattern) {
    case TErasedPattern::Zeros:
      return "zeros";
    case TErasedPattern::Ones:
      return "ones";
    case TErasedPattern::Unspecified:
      return "unspecified";
  }
  return "";
}

std::string EraseRecordJson(const TEraseRecord& r, bool simulated, const TSigningKey* key) {
  const std::string title = kProgramTitle;
  const size_t blank = title.rfind(' ');
  json ranges = json::array();
  for (const TByteRange& range : r.Ranges) {
    ranges.push_back({{"offset", range.Offset}, {"length", range.Length}});
  }
  json j;
  j["program"] = {{"name", title.substr(0, blank)}, {"version", title.substr(blank + 1)}};
  j["host"] = {{"system", kSystemName}, {"version", r.HostVersion}, {"simulated", simulated}};
  j["drive"] = {{"model", r.Model},       {"serial", r.Serial},   {"firmware", r.Firmware},
                {"bus", r.Bus},           {"sectors", r.Sectors}, {"sector_size", r.SectorSize},
                {"capacity", r.Capacity}, {"path", r.Path}};
  const char* kind = r.FirmwareRun ? "firmware" : r.Quick ? "quick" : "full";
  const std::string method =
      r.FirmwareRun ? FirmwareMethodName(r.FirmwareErase.Method) : "zero-fill";
  j["mode"] = {{"kind", kind}, {"method", method}, {"ranges", ranges}};
  j["start"] = r.Start;
  j["end"] = r.End;
  j["bytes_written"] = r.BytesWritten;
  j["failed_blocks"] = Blocks(r.FailedBlocks, false);
  j["flush"] = {{"attempted", r.FlushAttempted},
                {"succeeded", r.Flushed},
                {"code", r.FlushCode},
                {"text", r.FlushText}};
  j["verification"] = {{"asked", r.VerifyAsked},
                       {"ran", r.VerifyRan},
                       {"bytes_read", r.BytesRead},
                       {"bad_blocks", Blocks(r.BadBlocks, true)}};
  if (r.FirmwareRun) {
    const TFirmwareErase& f = r.FirmwareErase;
    j["firmware_erase"] = {{"method", FirmwareMethodName(f.Method)},
                           {"command", FirmwareCommandName(f.Command)},
                           {"all_namespaces", f.AllNamespaces},
                           {"sent", f.Sent},
                           {"status", f.Status},
                           {"status_text", f.StatusText}};
  } else {
    j["firmware_erase"] = nullptr;
  }
  if (r.SampleCheck.Ran) {
    const TSampleCheck& c = r.SampleCheck;
    j["sample_check"] = {{"sectors", c.Sectors},
                         {"blank_before", c.BlankBefore},
                         {"changed", c.Changed},
                         {"unchanged", c.Unchanged},
                         {"wrong_pattern", c.WrongPattern},
                         {"unreadable", c.Unreadable},
                         {"expected", ErasedPatternName(c.Expected)},
                         {"result", SampleResultName(c.Result)}};
  } else {
    j["sample_check"] = nullptr;
  }
  j["sanitization"] = {
      {"nist_sp_800_88", SanitizationCategory(r, TSanitizationStandard::Nist80088)},
      {"ieee_2883", SanitizationCategory(r, TSanitizationStandard::Ieee2883)}};
  if (r.HiddenArea.Applies) {
    const THiddenArea& h = r.HiddenArea;
    auto sectorsOrNull = [](int64_t n) { return n < 0 ? json(nullptr) : json(n); };
    j["hidden_area"] = {{"determined", h.Determined},
                        {"reason", h.Reason},
                        {"current_max", h.CurrentMax},
                        {"native_max", sectorsOrNull(h.NativeMax)},
                        {"dco_max", sectorsOrNull(h.DcoMax)},
                        {"hidden_sectors", h.HiddenSectors()},
                        {"erased", false}};
  } else {
    j["hidden_area"] = nullptr;
  }
  j["coverage"] = SectorCoverage(r);
  json samples = json::array();
  for (const TSpeedSample& s : r.SpeedSamples) {
    samples.push_back({{"seconds", s.Seconds}, {"bytes", s.Bytes}});
  }
  j["speed_samples"] = samples;
  j["outcome"] = EraseOutcomeName(r.Outcome);
  if (r.StoppedBy.Rule.empty()) {
    j["stopped_by"] = nullptr;
  } else {
    j["stopped_by"] = {{"rule", r.StoppedBy.Rule},
                       {"limit", r.StoppedBy.Limit},
                       {"value", r.StoppedBy.Value},
                       {"unit", r.StoppedBy.Rule == "stop-above" ? "°C" : "MB/s"}};
  }
  static constexpr const char* kMedia[] = {nullptr, "rotating", "solid-state", "nvme",
                                           "flash-card"};
  const char* medium = kMedia[static_cast<int>(r.Medium)];
  j["medium"] = {{"type", medium ? json(medium) : json(nullptr)},
                 {"rotation_rate", r.RotationRate > 0 ? json(r.RotationRate) : json(nullptr)}};
  const auto textOrNull = [](const std::string& t) { return t.empty() ? json(nullptr) : json(t); };
  j["context"] = {{"operator", textOrNull(r.Context.Operator)},
                  {"organisation", textOrNull(r.Context.Organisation)},
                  {"location", textOrNull(r.Context.Location)},
                  {"asset_tag", textOrNull(r.Context.AssetTag)}};
  if (r.HealthBefore) {
    const bool failing = r.HealthBefore->Verdict == THealthVerdict::Failing ||
                         (r.HealthAfter && r.HealthAfter->Verdict == THealthVerdict::Failing);
    j["health"] = {{"before", HealthObject(*r.HealthBefore)},
                   {"after", r.HealthAfter ? HealthObject(*r.HealthAfter) : json(nullptr)},
                   {"do_not_reuse", failing}};
  } else {
    j["health"] = nullptr;
  }
  if (r.HasSmart) {
    j["smart"] = {{"before", Attributes(r.SmartBefore)}, {"after", Attributes(r.SmartAfter)}};
  } else {
    j["smart"] = nullptr;
  }
  std::string ignored;
  SealRecord(j, key, &ignored);  // a record that cannot be sealed is kept, its seal null
  // Texts from drives may hold bytes that are not UTF-8; keep the file valid.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string EraseRecordFileName(const std::string& serial, const std::string& utcTime) {
  std::string name;
  for (char c : serial) {
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      c == '-' || c == '.';
    name += keep ? c : '_';
  }
  if (name.empty()) name = "unknown";
  std::string time;
  for (char c : utcTime) {
    if (c != '-' && c != ':') time += c;  // 20261208T143005.123Z: no colons on Windows
  }
  return "quarnel-erase-" + name + "-" + time + ".json";
}

bool CreateEraseRecordFile(TKeptFile* file, const std::string& folder, const std::string& serial,
                           const std::string& utcTime, std::string* path, std::string* error) {
  std::string name = EraseRecordFileName(serial, utcTime);
  const std::string stem = name.substr(0, name.size() - 5);  // without ".json"
  for (int copy = 2;; ++copy) {
    *path = folder + "/" + name;
    if (file->Open(*path, false, error)) return true;
    if (!file->Existed() || copy > 999) return false;
    name = stem + "-" + std::to_string(copy) + ".json";
  }
}

TEraseRecordWriter EraseRecordWriterTo(std::shared_ptr<TKeptFile> file, const std::string& path,
                                       bool simulated, std::shared_ptr<const TSigningKey> key) {
  return [file, path, simulated, key](const TEraseRecord& record, std::string* where,
                                      std::string* error) {
    *where = path;
    return file->Replace(EraseRecordJson(record, simulated, key.get()), error);
  };
}

TEraseRecordWriter EraseRecordWriter(const std::string& path, bool simulated, std::string* error) {
  if (!path.empty()) {
    auto file = std::make_shared<TKeptFile>();
    std::string ignored;
    if (!file->Open(path, true, error ? error : &ignored)) return nullptr;
    return EraseRecordWriterTo(std::move(file), path, simulated);
  }
  return [simulated](const TEraseRecord& record, std::string* where, std::string* error) {
        const std::string folder = GetAppDataFolder();
        if (folder.empty()) {
          *error = "no data folder";
          return false;
        }
        *where = folder + "/" + EraseRecordFileName(record.Serial, record.Start);
        // The user's folder, with the user's rights (see RunAsInvokingUser); a
        // new regular file, never one the user laid there beforehand.
        const bool written = RunAsInvokingUser([&] {
          std::error_code ec;
          std::filesystem::create_directories(folder, ec);
          TKeptFile file;
          return CreateEraseRecordFile(&file, folder, record.Serial, record.Start, where, error) &&
                 file.Replace(EraseRecordJson(record, simulated), error);
        });
        if (!written && error->empty()) *error = "the user's rights could not be taken";
        return written;
      };
}

}  // namespace quarnel
