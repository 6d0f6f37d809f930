// Reading a simulated machine from its JSON description.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/Text.h"
#include "host/sim/SimHost.h"

namespace quarnel {

using nlohmann::json;

namespace {

constexpr double kMinMBPerSecond = 0.001, kMaxMBPerSecond = 1e6;

// A description nests a handful of levels; far deeper nesting is no machine,
// and would run the recursive copies and walks of the parsed tree out of stack.
constexpr int kMaxNesting = 32;
constexpr size_t kMaxDescriptionBytes = 16u << 20;

struct TTooDeep : std::runtime_error {
  TTooDeep()
      : std::runtime_error("nested deeper than " + std::to_string(kMaxNesting) + " levels") {}
};

}  // namespace

bool ReadSimFile(const std::string& path, size_t limit, std::vector<char>* data,
                 std::string* error) {
  // Looked at before it is opened: opening a FIFO for reading blocks.
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    *error = "cannot read " + path;
    return false;
  }
  if (status.type() != std::filesystem::file_type::regular) {
    *error = path + " is not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  data->clear();
  char chunk[65536];
  while (in.read(chunk, sizeof chunk), in.gcount() > 0) {
    data->insert(data->end(), chunk, chunk + in.gcount());
    if (data->size() > limit) {
      *error = path + " is larger than " + std::to_string(limit) + " bytes";
      return false;
    }
  }
  return true;
}

class SimHostLoader {
 public:
  SimHostLoader(SimHost& host, std::filesystem::path baseDir) : host_(host), base_(baseDir) {}

  bool Load(const json& root, std::string* error) {
    try {
      LoadMachine(root);
      return true;
    } catch (const std::exception& e) {
      *error = e.what();
      return false;
    }
  }

 private:
  [[noreturn]] static void Bad(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
  }

  static void OnlyKeys(const json& obj, const std::string& where,
                       std::initializer_list<const char*> keys,
                       std::initializer_list<const char*> nvmeKeys = {}) {
    if (!obj.is_object()) Bad(where, "must be an object");
    std::set<std::string> known(keys.begin(), keys.end());
    known.insert(nvmeKeys.begin(), nvmeKeys.end());
    for (const auto& item : obj.items()) {
      if (!known.count(item.key())) Bad(where, "unknown key \"" + item.key() + "\"");
    }
  }

  template <typename T>
  static T Int(const json& obj, const char* key, T fallback, const std::string& where, int64_t min,
               int64_t max) {
    if (!obj.contains(key)) return fallback;
    const json& v = obj.at(key);
    if (!v.is_number_integer()) Bad(where, std::string("\"") + key + "\" must be an integer");
    // Above the signed range the value would wrap: name it as written.
    if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) {
      Bad(where, std::string("\"") + key + "\" = " + std::to_string(v.get<uint64_t>()) +
                     " is out of range");
    }
    const auto value = v.get<int64_t>();
    if (value < min || value > max) {
      Bad(where, std::string("\"") + key + "\" = " + std::to_string(value) + " is out of range");
    }
    return static_cast<T>(value);
  }

  static bool Bool(const json& obj, const char* key, bool fallback, const std::string& where) {
    if (!obj.contains(key)) return fallback;
    if (!obj.at(key).is_boolean()) Bad(where, std::string("\"") + key + "\" must be true or false");
    return obj.at(key).get<bool>();
  }

  static std::string Str(const json& obj, const char* key, const std::string& where) {
    if (!obj.contains(key)) return {};
    if (!obj.at(key).is_string()) Bad(where, std::string("\"") + key + "\" must be a text");
    return obj.at(key).get<std::string>();
  }

  // Drive texts are bytes; the description gives them as UTF-8.
  static std::string DriveText(const json& obj, const char* key, const std::string& where) {
    std::string bytes;
    if (!Utf8ToLatin1(Str(obj, key, where), &bytes)) {
      Bad(where, std::string("\"") + key + "\" has characters above U+00FF");
    }
    return bytes;
  }

  static std::vector<uint8_t> Hex(const std::string& text, const std::string& where) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
      if (c == ' ' || c == '\n' || c == '\t') continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) Bad(where, "not a hexadecimal text");
      digits += c;
    }
    if (digits.size() % 2 != 0) Bad(where, "odd number of hexadecimal digits");
    for (size_t i = 0; i < digits.size(); i += 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  }

  std::vector<uint8_t> Block(const json& obj, const char* fileKey, const char* hexKey,
                             const std::string& where, size_t size = 512) {
    std::vector<uint8_t> data;
    if (obj.contains(fileKey)) {
      const std::filesystem::path path = base_ / Str(obj, fileKey, where);
      std::error_code ec;
      if (std::filesystem::is_directory(path, ec)) {
        Bad(where, std::string("\"") + fileKey + "\" " + path.string() + " is a folder");
      }
      // One byte more than the block tells a longer file from one of the size.
      std::vector<char> bytes;
      std::string error;
      if (!ReadSimFile(path.string(), size + 1, &bytes, &error)) {
        Bad(where, std::string("\"") + fileKey + "\": " + error);
      }
      if (bytes.size() > size) {
        Bad(where, std::string(fileKey) + " holds more than " + std::to_string(size) + " bytes");
      }
      data.assign(bytes.begin(), bytes.end());
    } else if (obj.contains(hexKey)) {
      data = Hex(Str(obj, hexKey, where), where + " \"" + hexKey + "\"");
    } else {
      return data;
    }
    if (data.size() != size) {
      Bad(where, std::string(fileKey) + " holds " + std::to_string(data.size()) + " bytes, not " +
                     std::to_string(size));
    }
    return data;
  }

  static TSimVolume Volume(const json& v, const std::string& where, bool ownDrive) {
    if (ownDrive) {
      OnlyKeys(v, where,
               {"root", "partition", "in_use", "device_type", "query_fails", "open_fails",
                "read_open_fails"});
    } else {
      OnlyKeys(v, where,
               {"root", "partition", "in_use", "device_type", "device_number", "query_fails",
                "open_fails", "read_open_fails"});
    }
    TSimVolume vol;
    vol.Root = Str(v, "root", where);
    if (vol.Root.empty()) Bad(where, "\"root\" is missing");
    if (vol.Root.back() == '\\') vol.Root.pop_back();
    vol.Partition = Int<uint32_t>(v, "partition", 0, where, 0, UINT32_MAX);
    vol.DeviceType = Int<uint32_t>(v, "device_type", 7, where, 0, UINT32_MAX);
    vol.DeviceNumber = Int<uint32_t>(v, "device_number", 0, where, 0, UINT32_MAX);
    vol.InUse = Bool(v, "in_use", false, where);
    vol.QueryFails = Bool(v, "query_fails", false, where);
    vol.OpenFails = Bool(v, "open_fails", false, where);
    vol.ReadOpenFails = Bool(v, "read_open_fails", false, where);
    return vol;
  }

  static std::vector<TSimWriteFault> OffsetFaults(const json& f, const char* key,
                                                  const std::string& where) {
    std::vector<TSimWriteFault> faults;
    if (!f.contains(key)) return faults;
    const std::string w = where + " " + key;
    if (!f.at(key).is_array()) Bad(where, std::string("\"") + key + "\" must be a list");
    for (const json& e : f.at(key)) {
      OnlyKeys(e, w, {"offset", "code"});
      for (const char* needed : {"offset", "code"}) {
        if (!e.contains(needed)) Bad(w, std::string("\"") + needed + "\" is missing");
      }
      faults.push_back({Int<int64_t>(e, "offset", 0, w, 0, INT64_MAX),
                        Int<uint32_t>(e, "code", 0, w, 0, UINT32_MAX)});
    }
    return faults;
  }

  void LoadFaults(const json& f, TSimDrive& d, const std::string& where) {
    OnlyKeys(f, where,
             {"open",          "geometry",     "length",          "adapter",       "device",
              "smart_version", "smart_rcv",    "smart_send",      "miniport",      "inquiry",
              "rcv_bytes",     "send_bytes",   "miniport_bytes",  "write_errors",  "vanish_at", "crash_at",
              "seek_errors",   "short_writes", "flush",           "claim_holders", "read_errors",
              "silent_loss",   "swap",         "ata_pass_through"},
             {"nvme_identify_ctrl", "nvme_identify_ns", "nvme_health", "nvme_bytes"});
    d.Faults = f;
    for (const char* key :
         {"open", "geometry", "length", "adapter", "device", "smart_version", "smart_rcv",
          "smart_send", "miniport", "inquiry", "flush", "ata_pass_through"}) {
      if (f.contains(key)) d.Refusals[key] = Int<uint32_t>(f, key, 0, where, 0, UINT32_MAX);
    }
    for (const char* key : {"nvme_identify_ctrl", "nvme_identify_ns", "nvme_health"}) {
      if (f.contains(key)) d.Refusals[key] = Int<uint32_t>(f, key, 0, where, 0, UINT32_MAX);
    }
    d.WriteErrors = OffsetFaults(f, "write_errors", where);
    d.SeekErrors = OffsetFaults(f, "seek_errors", where);
    d.ShortWrites = OffsetFaults(f, "short_writes", where);
    d.ReadErrors = OffsetFaults(f, "read_errors", where);
    if (f.contains("silent_loss")) {
      const std::string w = where + " silent_loss";
      if (!f.at("silent_loss").is_array()) Bad(where, "\"silent_loss\" must be a list");
      for (const json& e : f.at("silent_loss")) {
        OnlyKeys(e, w, {"offset", "length"});
        const auto offset = Int<int64_t>(e, "offset", 0, w, 0, INT64_MAX);
        const auto length = Int<int64_t>(e, "length", 0, w, 0, INT64_MAX - offset);
        d.SilentLoss.emplace_back(offset, offset + length);
      }
    }
    if (f.contains("claim_holders")) {
      const json& h = f.at("claim_holders");
      if (!h.is_array() || h.empty()) Bad(where, "\"claim_holders\" must be a list of texts");
      for (const json& e : h) {
        if (!e.is_string()) Bad(where, "\"claim_holders\" must be a list of texts");
        d.ClaimHolders.push_back(e.get<std::string>());
      }
    }
    if (f.contains("swap")) d.Swap = Swap(f.at("swap"), where + " swap");
    if (f.contains("vanish_at")) d.VanishAt = Int<int64_t>(f, "vanish_at", 0, where, 0, INT64_MAX);
    if (f.contains("crash_at")) d.CrashAt = Int<int64_t>(f, "crash_at", 0, where, 0, INT64_MAX);
    for (const char* key : {"rcv_bytes", "send_bytes", "miniport_bytes", "nvme_bytes"}) {
      if (f.contains(key)) Int<uint32_t>(f, key, 0, where, 0, 65536);
    }
  }

  void LoadHiddenArea(const json& h, TSimDrive& d, const std::string& where) {
    OnlyKeys(h, where,
             {"native_max", "dco_max", "dco_file", "dco_hex", "native_aborts", "dco_aborts"});
    if (d.Identify.empty()) Bad(where, "needs the drive's IDENTIFY block");
    // Up to 2^48 sectors: the registers of the queries hold no more.
    constexpr int64_t kMaxSectors = int64_t{1} << 48;
    if (h.contains("native_max")) {
      d.Hidden.NativeMax = Int<int64_t>(h, "native_max", 0, where, 1, kMaxSectors);
    }
    if (h.contains("dco_max"))
      d.Hidden.DcoMax = Int<int64_t>(h, "dco_max", 0, where, 1, kMaxSectors);
    d.Hidden.DcoBlock = Block(h, "dco_file", "dco_hex", where);
    d.Hidden.NativeAborts = Bool(h, "native_aborts", false, where);
    d.Hidden.DcoAborts = Bool(h, "dco_aborts", false, where);
  }

  static TSimSwap Swap(const json& s, const std::string& where) {
    OnlyKeys(s, where,
             {"at_open", "at_claim", "at_flush", "vendor", "product", "revision", "serial",
              "length", "disk_sequence"});
    TSimSwap swap;
    swap.AtOpen = Int<int>(s, "at_open", 0, where, 1, INT32_MAX);
    swap.AtClaim = Bool(s, "at_claim", false, where);
    swap.AtFlush = Bool(s, "at_flush", false, where);
    if ((swap.AtOpen != 0) + swap.AtClaim + swap.AtFlush != 1) {
      Bad(where, "needs one of \"at_open\", \"at_claim\" and \"at_flush\"");
    }
    if (s.contains("vendor")) swap.Vendor = DriveText(s, "vendor", where);
    if (s.contains("product")) swap.Product = DriveText(s, "product", where);
    if (s.contains("revision")) swap.Revision = DriveText(s, "revision", where);
    if (s.contains("serial")) swap.Serial = DriveText(s, "serial", where);
    if (s.contains("length")) swap.Length = Int<int64_t>(s, "length", 0, where, 0, INT64_MAX);
    if (s.contains("disk_sequence")) {
      swap.DiskSequence = Int<uint64_t>(s, "disk_sequence", 0, where, 1, INT64_MAX);
    }
    return swap;
  }

  void LoadDrive(const json& j, size_t index) {
    std::string where = "drives[" + std::to_string(index) + "]";
    OnlyKeys(j, where, {"number",        "length",          "bytes_per_sector",
                        "bus_type",      "max_transfer",    "vendor",
                        "product",       "revision",        "serial",
                        "serial_raw",    "removable",       "device_descriptor_hex",
                        "identify_file", "identify_hex",    "smart_file",
                        "smart_hex",     "thresholds_file", "thresholds_hex",
                        "smart_enabled", "ide_slave",       "scsi_target_id",
                        "volumes",       "image",           "write_mb_per_s",
                        "faults",        "disk_sequence",   "firmware_erase",
                        "hidden_area"},
             {"nvme_identify_ctrl_file", "nvme_identify_ctrl_hex", "nvme_identify_ns_file",
              "nvme_identify_ns_hex", "nvme_health_file", "nvme_health_hex", "wwn",
              "smart_return_status", "self_test_seconds", "self_test_result",
              "attach_after_seconds", "detach_after_seconds"});
    if (!j.contains("number")) Bad(where, "\"number\" is missing");
    TSimDrive d;
    d.Number = Int<int>(j, "number", 0, where, 0, 255);
    where = "drive " + std::to_string(d.Number);
    if (host_.drives_.count(d.Number)) Bad(where, "described twice");
    d.Length = Int<int64_t>(j, "length", 0, where, 0, INT64_MAX);
    d.BytesPerSector = Int<uint32_t>(j, "bytes_per_sector", 512, where, 1, 65536);
    if ((d.BytesPerSector & (d.BytesPerSector - 1)) != 0) {
      Bad(where,
          "\"bytes_per_sector\" = " + std::to_string(d.BytesPerSector) + " is no power of two");
    }
    d.BusType = Int<uint32_t>(j, "bus_type", 11, where, 0, 255);
    d.MaxTransfer = Int<uint32_t>(j, "max_transfer", 131072, where, 0, UINT32_MAX);
    d.Vendor = DriveText(j, "vendor", where);
    d.Product = DriveText(j, "product", where);
    d.Revision = DriveText(j, "revision", where);
    d.Serial = DriveText(j, "serial", where);
    d.SerialRaw = Bool(j, "serial_raw", false, where);
    d.Removable = Bool(j, "removable", false, where);
    if (j.contains("device_descriptor_hex")) {
      d.DeviceDescriptor = Hex(Str(j, "device_descriptor_hex", where), where);
      if (d.DeviceDescriptor.size() > 512) Bad(where, "device_descriptor_hex over 512 bytes");
    }
    d.Identify = Block(j, "identify_file", "identify_hex", where);
    d.Smart = Block(j, "smart_file", "smart_hex", where);
    d.Thresholds = Block(j, "thresholds_file", "thresholds_hex", where);
    d.NvmeController = Block(j, "nvme_identify_ctrl_file", "nvme_identify_ctrl_hex", where, 4096);
    d.NvmeNamespace = Block(j, "nvme_identify_ns_file", "nvme_identify_ns_hex", where, 4096);
    d.NvmeHealth = Block(j, "nvme_health_file", "nvme_health_hex", where, 512);
    if (j.contains("firmware_erase")) {
      const std::string wrong = LoadSimFirmwareErase(j.at("firmware_erase"), d);
      if (!wrong.empty()) Bad(where, "firmware_erase: " + wrong);
    }
    if (const std::string wrong = LoadSimSelfTest(j, d.SelfTest); !wrong.empty()) Bad(where, wrong);
    if (j.contains("wwn")) {
      const std::string wrong = SetSimWwn(Str(j, "wwn", where), d);
      if (!wrong.empty()) Bad(where, wrong);
    }
    // Word 85 bit 0 of the drive's own IDENTIFY block tells its SMART state.
    const bool identifySaysEnabled = d.Identify.empty() || (d.Identify[170] & 1) != 0;
    d.SmartEnabled = Bool(j, "smart_enabled", identifySaysEnabled, where);
    if (j.contains("smart_return_status")) {
      const std::string status = Str(j, "smart_return_status", where);
      if (status != "passed" && status != "failed") {
        Bad(where, "\"smart_return_status\" must be \"passed\" or \"failed\"");
      }
      d.SmartFailing = status == "failed";
    }
    d.IdeSlave = Bool(j, "ide_slave", false, where);
    if (j.contains("scsi_target_id")) {
      d.ScsiTargetId = Int<uint32_t>(j, "scsi_target_id", 0, where, 0, 255);
    }
    if (j.contains("image")) {
      d.ImagePath = (base_ / Str(j, "image", where)).string();
      if (!SimImageUsable(d.ImagePath))
        Bad(where, "\"image\" " + d.ImagePath + " is not a regular file");
    }
    if (j.contains("write_mb_per_s")) {
      // The pause of a block is its length over the speed: a tiny speed would
      // ask for a pause past what the clock can count.
      const json& speed = j.at("write_mb_per_s");
      if (!speed.is_number() ||
          !(speed.get<double>() == 0 ||
            (speed.get<double>() >= kMinMBPerSecond && speed.get<double>() <= kMaxMBPerSecond))) {
        Bad(where, "\"write_mb_per_s\" must be 0 (unlimited) or a number from 0.001 to 1000000");
      }
      d.WriteMBPerSecond = speed.get<double>();
    }
    if (j.contains("disk_sequence")) {
      d.DiskSequence = Int<uint64_t>(j, "disk_sequence", 0, where, 1, INT64_MAX);
    }
    for (auto [key, field] : {std::pair{"attach_after_seconds", &d.AttachAfter},
                              std::pair{"detach_after_seconds", &d.DetachAfter}}) {
      if (!j.contains(key)) continue;
      const json& at = j.at(key);
      if (!at.is_number() || !(at.get<double>() >= 0 && at.get<double>() <= 1e7)) {
        Bad(where, std::string("\"") + key + "\" must be a number of seconds from 0 to 10000000");
      }
      *field = at.get<double>();
    }
    if (d.AttachAfter && d.DetachAfter && *d.DetachAfter <= *d.AttachAfter) {
      Bad(where, "\"detach_after_seconds\" must come after \"attach_after_seconds\"");
    }
    if (j.contains("hidden_area")) LoadHiddenArea(j.at("hidden_area"), d, where + " hidden_area");
    if (j.contains("faults")) LoadFaults(j.at("faults"), d, where + " faults");
    if (j.contains("volumes")) {
      if (!j.at("volumes").is_array()) Bad(where, "\"volumes\" must be a list");
      size_t k = 0;
      for (const json& v : j.at("volumes")) {
        TSimVolume vol = Volume(v, where + " volumes[" + std::to_string(k++) + "]", true);
        vol.DeviceNumber = static_cast<uint32_t>(d.Number);
        host_.volumes_.push_back(vol);
      }
    }
    host_.drives_[d.Number] = std::move(d);
  }

  void LoadMachine(const json& root) {
    OnlyKeys(root, "description", {"platform", "drives", "volumes", "faults"});
    if (root.contains("platform")) {
      const json& p = root.at("platform");
      const std::string w = "platform";
      OnlyKeys(p, w,
               {"platform_id", "major", "minor", "build", "service_pack", "wow64", "setup_api"});
      host_.platform_.PlatformId = Int<uint32_t>(p, "platform_id", 2, w, 0, UINT32_MAX);
      host_.platform_.Major = Int<uint32_t>(p, "major", 6, w, 0, UINT32_MAX);
      host_.platform_.Minor = Int<uint32_t>(p, "minor", 1, w, 0, UINT32_MAX);
      host_.platform_.Build = Int<uint32_t>(p, "build", 7601, w, 0, UINT32_MAX);
      host_.platform_.ServicePack = p.contains("service_pack") ? Str(p, "service_pack", w) : "";
      host_.wow64_ = Bool(p, "wow64", false, w);
      host_.setupApi_ = Bool(p, "setup_api", true, w);
    }
    if (root.contains("drives")) {
      if (!root.at("drives").is_array()) Bad("description", "\"drives\" must be a list");
      size_t i = 0;
      for (const json& d : root.at("drives")) LoadDrive(d, i++);
    }
    if (root.contains("volumes")) {
      if (!root.at("volumes").is_array()) Bad("description", "\"volumes\" must be a list");
      size_t k = 0;
      for (const json& v : root.at("volumes")) {
        host_.volumes_.push_back(Volume(v, "volumes[" + std::to_string(k++) + "]", false));
      }
    }
    if (root.contains("faults")) {
      OnlyKeys(root.at("faults"), "faults", {"logical_drives"});
      host_.logicalDrivesFail_ = Bool(root.at("faults"), "logical_drives", false, "faults");
    }
    std::set<std::string> roots;
    for (const TSimVolume& v : host_.volumes_) {
      if (!roots.insert(UpperAscii(v.Root)).second) Bad("volumes", "root " + v.Root + " twice");
    }
    std::sort(host_.volumes_.begin(), host_.volumes_.end(),
              [](const TSimVolume& a, const TSimVolume& b) { return a.Root < b.Root; });
  }

  SimHost& host_;
  std::filesystem::path base_;
};

std::unique_ptr<SimHost> SimHost::FromJson(const std::string& text, const std::string& baseDir,
                                           std::string* error) {
  json root;
  try {
    root = json::parse(text, [](int depth, json::parse_event_t, json&) {
      if (depth > kMaxNesting) throw TTooDeep();
      return true;
    });
  } catch (const TTooDeep& e) {
    *error = std::string("not a machine: ") + e.what();
    return nullptr;
  } catch (const json::exception& e) {
    // The parser quotes the text it stopped at: shown, never obeyed.
    *error = VisibleText(std::string("not valid JSON: ") + e.what());
    return nullptr;
  }
  auto host = std::make_unique<SimHost>();
  host->startMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  SimHostLoader loader(*host, baseDir);
  if (!loader.Load(root, error)) {
    *error = VisibleText(*error);
    return nullptr;
  }
  return host;
}

std::unique_ptr<SimHost> SimHost::FromFile(const std::string& path, std::string* error) {
  std::vector<char> text;
  if (!ReadSimFile(path, kMaxDescriptionBytes, &text, error)) {
    *error = VisibleText(*error);
    return nullptr;
  }
  auto host = FromJson(std::string(text.begin(), text.end()),
                       std::filesystem::path(path).parent_path().string(), error);
  if (!host) *error = VisibleText(path) + ": " + *error;
  return host;
}

}  // namespace quarnel
