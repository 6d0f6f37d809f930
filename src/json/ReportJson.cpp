#include "json/ReportJson.h"

#include <nlohmann/json.hpp>

#include "base/Text.h"
#include "erase/HiddenAreaRun.h"
#include "json/HealthJson.h"
#include "json/SelfTestJson.h"

namespace quarnel {

namespace {

using json = nlohmann::ordered_json;

std::string Shown(const std::string& text) { return VisibleText(Trim(text)); }

json TextOrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

// Counters of 128 bits: a number while they fit 64 bits (always, in
// practice), else the exact decimal as text.
json Number128(const TUInt128& value) {
  return value.High == 0 ? json(value.Low) : json(DecText128(value));
}

json DriveObject(const TJsonDrive& d) {
  const TDeviceTable& e = *d.Entry;
  const TIdentifyDeviceData& id = e.IdentifyData;
  json capacity = nullptr;
  if (id.LBA > 0 && id.SectorSize > 0 && id.LBA <= INT64_MAX / id.SectorSize) {
    capacity = id.LBA * id.SectorSize;
  }
  json volumes = json::array();
  for (const std::string& v : d.Volumes) volumes.push_back(VisibleText(v));
  return {{"number", d.Number},
          {"bus", BusTypeName(id.BusType)},
          {"model", Shown(id.Model)},
          {"firmware", Shown(id.FW)},
          {"serial", Shown(id.SN)},
          {"wwn", d.Wwns.empty() ? json(nullptr) : json(d.Wwns.front())},
          {"sectors", id.LBA},
          {"sector_size", id.SectorSize > 0 ? json(id.SectorSize) : json(nullptr)},
          {"capacity", capacity},
          {"path", VisibleText(e.DevicePath)},
          {"volumes", volumes}};
}

json AtaObject(const T_IDE_PASSPORT& p) {
  json level = nullptr;
  // The level means nothing without a password, whatever its bit says.
  if (p.locked) level = p.lockedmax ? "maximum" : "high";
  json capacity = nullptr;
  if (p.lbasectors <= INT64_MAX / 512) capacity = p.lbasectors * 512;
  return {{"model", Shown(p.name)},
          {"firmware", Shown(p.fw)},
          {"serial", Shown(p.sn)},
          {"wwn", TextOrNull(p.wwn)},
          {"buffer_bytes", p.buffersize},
          {"lba", {{"supported", p.lba28support}, {"sectors", p.lba28sectors}}},
          {"lba48", {{"supported", p.lba48support}, {"sectors", p.lba48sectors}}},
          {"sectors", p.lbasectors},
          {"capacity", capacity},
          {"security", {{"supported", p.securitysupport}, {"enabled", p.locked}, {"level", level}}},
          {"smart_supported", p.smartsupport},
          {"smart_enabled", p.smartenabled},
          {"hpa_supported", p.hpasupport},
          {"aam_supported", p.aamsupport},
          {"streaming_supported", p.StreamingSupported},
          {"queue",
           {{"supported", p.QueueDepth > 0},
            {"max_depth", p.QueueDepth > 0 ? json(p.QueueDepth + 1) : json(nullptr)}}}};
}

json NvmeObject(const TNvmeController& c, const std::optional<TNvmeNamespace>& ns) {
  json space = nullptr;
  if (ns) {
    space = {{"block_size", ns->BlockSize > 0 ? json(ns->BlockSize) : json(nullptr)},
             {"size_blocks", ns->SizeBlocks},
             {"capacity_blocks", ns->CapacityBlocks},
             {"capacity", Number128(Mul64x32(ns->SizeBlocks, ns->BlockSize))},
             {"eui64", TextOrNull(ns->Eui64)},
             {"nguid", TextOrNull(ns->Nguid)}};
  }
  return {{"model", Shown(c.Model)},
          {"firmware", Shown(c.Firmware)},
          {"serial", Shown(c.Serial)},
          {"version", TextOrNull(NvmeVersionText(c.Version))},
          {"pci_vendor_id", c.PciVendorId},
          {"namespace_count", c.NamespaceCount},
          {"namespace", space},
          {"volatile_write_cache", c.WriteCachePresent()},
          {"format_nvm", c.FormatNvm()},
          {"sanitize",
           {{"crypto_erase", c.CryptoErase()},
            {"block_erase", c.BlockErase()},
            {"overwrite", c.Overwrite()}}},
          {"self_test", c.SelfTest()},
          {"firmware_slots", c.FirmwareSlots()},
          {"first_slot_read_only", c.FirstSlotReadOnly()}};
}

json FirmwareEraseObject(const TFirmwareCaps& caps) {
  json methods = json::array();
  for (TFirmwareMethod m : caps.Offered) {
    methods.push_back(
        {{"name", FirmwareMethodName(m)}, {"all_namespaces", caps.CoversAllNamespaces(m)}});
  }
  json j = {{"known", caps.Known}, {"methods", methods}};
  json reads = nullptr;
  if (caps.Nvme && caps.Known) {
    reads = caps.Dlfeat == 1 ? "zeros" : caps.Dlfeat == 2 ? "ones" : "unspecified";
  }
  j["erased_blocks_read_as"] = reads;
  const bool ata = caps.Ata && caps.Known;
  j["sanitize_frozen"] = ata ? json(caps.SanitizeFrozen) : json(nullptr);
  j["security"] = ata && caps.SecuritySupported ? json{{"enabled", caps.SecurityEnabled},
                                                       {"locked", caps.SecurityLocked},
                                                       {"frozen", caps.SecurityFrozen}}
                                                : json(nullptr);
  return j;
}

json HiddenAreaObject(const THiddenAreaQuery& q) {
  // The erase record's view, for the same names and the same judgement.
  const THiddenArea h = HiddenAreaForRecord(q, true);
  auto sectorsOrNull = [](int64_t n) { return n < 0 ? json(nullptr) : json(n); };
  const THiddenAreaSupport& s = q.Support;
  json j = {{"determined", h.Determined},
            {"reason", TextOrNull(h.Reason)},
            {"ata", q.Ata},
            {"current_max", q.Ata ? json(h.CurrentMax) : json(nullptr)},
            {"hpa_supported", q.Ata ? json(s.HpaSupported) : json(nullptr)},
            {"hpa_enabled", q.Ata ? json(s.HpaEnabled) : json(nullptr)},
            {"native_max", sectorsOrNull(q.NativeMax)},
            {"native_command", TextOrNull(q.NativeCommand)},
            {"hpa_sectors", q.NativeMax >= 0 ? json(q.HpaSectors()) : json(nullptr)},
            {"dco_supported", q.Ata ? json(s.DcoSupported) : json(nullptr)},
            {"dco_max", sectorsOrNull(q.DcoMax)},
            {"dco_sectors", q.DcoMax >= 0 ? json(q.DcoSectors()) : json(nullptr)},
            {"hidden_sectors", h.HiddenSectors()}};
  return j;
}

std::string Dumped(const json& j) {
  // Every drive text went through VisibleText; replacing is the last guard,
  // so that no text can make the dump throw.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string DriveListJson(const std::vector<TJsonDrive>& drives, const std::string& status) {
  json list = json::array();
  for (const TJsonDrive& d : drives) list.push_back(DriveObject(d));
  return Dumped({{"drives", list}, {"status", status}});
}

std::string DetailsJson(const TJsonDrive& drive, const TDetailsFacts& f) {
  json j = {{"drive", DriveObject(drive)}, {"protocol", f.Nvme ? "nvme" : "ata"}};
  j["available"] = f.Nvme ? f.Controller.has_value() : f.IdentifyRead;
  j["ata"] = !f.Nvme && f.IdentifyRead ? AtaObject(f.Passport) : json(nullptr);
  j["nvme"] = f.Controller ? NvmeObject(*f.Controller, f.Namespace) : json(nullptr);
  j["firmware_erase"] = f.FirmwareCaps ? FirmwareEraseObject(*f.FirmwareCaps) : json(nullptr);
  j["hidden_area"] = f.HiddenArea ? HiddenAreaObject(*f.HiddenArea) : json(nullptr);
  return Dumped(j);
}

std::string SmartJson(const TJsonDrive& drive, const TSmartFacts& f) {
  json j = {
      {"drive", DriveObject(drive)}, {"protocol", f.Nvme ? "nvme" : "ata"}, {"available", f.Read}};
  j["assessment"] = HealthObject(AssessSmartFacts(f));
  j["self_tests_offered"] = SelfTestsOfferedJson(f.SelfTests);
  j["self_tests"] = SelfTestsJson(f.SelfTests);
  if (f.Nvme) {
    j["attributes"] = nullptr;
    j["thresholds_read"] = nullptr;
    if (!f.Read) {
      j["health"] = nullptr;
      return Dumped(j);
    }
    const TNvmeHealth& h = f.Health;
    auto celsius = [](uint16_t kelvin) {
      // 0 K is no reading: the sensor is absent.
      return kelvin == 0 ? json(nullptr) : json(int64_t{kelvin} - 273);
    };
    json sensors = json::array();
    for (int k = 0; k < 8; ++k) {
      if (h.SensorTemperature[k] != 0) {
        sensors.push_back({{"sensor", k + 1}, {"celsius", celsius(h.SensorTemperature[k])}});
      }
    }
    j["health"] = {{"critical_warning", h.CriticalWarning},
                   {"temperature_celsius", celsius(h.Temperature)},
                   {"available_spare_percent", h.AvailableSpare},
                   {"available_spare_threshold_percent", h.SpareThreshold},
                   {"percentage_used", h.PercentageUsed},
                   {"data_units_read", Number128(h.DataUnitsRead)},
                   {"data_units_written", Number128(h.DataUnitsWritten)},
                   {"host_read_commands", Number128(h.HostReadCommands)},
                   {"host_write_commands", Number128(h.HostWriteCommands)},
                   {"controller_busy_minutes", Number128(h.ControllerBusyTime)},
                   {"power_cycles", Number128(h.PowerCycles)},
                   {"power_on_hours", Number128(h.PowerOnHours)},
                   {"unsafe_shutdowns", Number128(h.UnsafeShutdowns)},
                   {"media_errors", Number128(h.MediaErrors)},
                   {"error_log_entries", Number128(h.ErrorLogEntries)},
                   {"warning_temperature_minutes", h.WarningTempMinutes},
                   {"critical_temperature_minutes", h.CriticalTempMinutes},
                   {"temperature_sensors", sensors}};
    return Dumped(j);
  }
  j["health"] = nullptr;
  j["thresholds_read"] = f.Read ? json(f.ThresholdsRead) : json(nullptr);
  json list = json::array();
  for (const TSmartAttributeRow& a : SmartAttributes(f)) {
    static const char digits[] = "0123456789abcdef";
    std::string rawBytes;
    for (uint8_t b : a.RawBytes) {
      rawBytes += digits[b >> 4];
      rawBytes += digits[b & 0xF];
    }
    json row = {{"id", a.Id},
                {"name", Trim(GetSmartAttributeName(a.Id))},
                {"flags", a.Flags},
                {"prefailure", (a.Flags & 1) != 0},
                {"current", a.Current},
                {"worst", a.Worst},
                {"threshold", a.Threshold ? json(*a.Threshold) : json(nullptr)},
                {"raw", a.Raw},
                {"raw_bytes", rawBytes},
                {"failing_now", a.FailingNow()},
                {"failed_in_past", a.FailedInPast()}};
    // As the report's note: the drive temperature from the lowest raw byte.
    if (a.Id == 194) row["temperature_celsius"] = a.RawBytes[0];
    list.push_back(row);
  }
  j["attributes"] = f.Read ? list : json(nullptr);
  return Dumped(j);
}

}  // namespace quarnel
