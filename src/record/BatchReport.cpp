#include "record/BatchReport.h"

#include <nlohmann/json.hpp>

#include "record/EraseRecordFile.h"
#include "record/HealthJson.h"

namespace quarnel {

using json = nlohmann::json;

namespace {

std::string VerificationOf(const TEraseRecord& r) {
  if (r.FirmwareRun) return r.SampleCheck.Ran ? SampleResultName(r.SampleCheck.Result) : "not-run";
  if (!r.VerifyAsked) return "not-asked";
  if (!r.VerifyRan) return "not-run";
  return r.BadBlocks.empty() ? "passed" : "failed";
}

}  // namespace

std::string RunSummaryJson(const TEraseRecord& record, bool ran, bool simulated,
                           const TSigningKey* key, const std::string& recordFile, double seconds,
                           int exitStatus) {
  json j;
  j["exit_status"] = exitStatus;
  j["seconds"] = seconds;
  j["record_file"] = recordFile;
  if (!ran) {
    j["record"] = nullptr;
  } else {
    j["record"] = json::parse(EraseRecordJson(record, simulated, key), nullptr, false);
    double mbps = 0;
    if (!record.SpeedSamples.empty() && record.SpeedSamples.back().Seconds > 0) {
      mbps = static_cast<double>(record.SpeedSamples.back().Bytes) / 1e6 /
             record.SpeedSamples.back().Seconds;
    }
    j["average_mb_per_s"] = mbps;
    j["verification"] = VerificationOf(record);
  }
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool ReadRunSummary(const std::string& text, TBatchRow* row) {
  const json j = json::parse(text, nullptr, false);
  if (!j.is_object() || !j.contains("exit_status") || !j["exit_status"].is_number_integer()) {
    return false;
  }
  row->ExitStatus = j["exit_status"].get<int>();
  row->Seconds = j.value("seconds", 0.0);
  row->RecordFile = j.value("record_file", std::string());
  const json& r = j.contains("record") ? j["record"] : json(nullptr);
  if (!r.is_object()) {
    row->Outcome = "refused";
    row->Record.clear();
    return true;
  }
  row->Record = r.dump(-1, ' ', false, json::error_handler_t::replace);
  row->Outcome = r.value("outcome", std::string("failed"));
  row->Coverage = r.value("coverage", std::string());
  row->BytesWritten = r.value("bytes_written", int64_t{0});
  row->AverageMBps = j.value("average_mb_per_s", 0.0);
  row->Verification = j.value("verification", std::string());
  if (r.contains("health") && r["health"].is_object() && r["health"].contains("before")) {
    const THealthAssessment before = ReadHealthObject(r["health"]["before"]);
    if (before.Verdict != THealthVerdict::Unknown) row->Health = before.Verdict;
  }
  const json& stop = r.contains("stopped_by") ? r["stopped_by"] : json(nullptr);
  row->StoppedBy = stop.is_object() ? stop.value("rule", std::string()) : std::string();
  return true;
}

std::string BatchJson(const std::vector<TBatchRow>& rows, int exitStatus) {
  json drives = json::array();
  for (const TBatchRow& row : rows) {
    json record = row.Record.empty() ? json(nullptr) : json::parse(row.Record, nullptr, false);
    if (record.is_discarded()) record = nullptr;
    drives.push_back(
        {{"number", row.Number},
         {"model", row.Model},
         {"serial", row.Serial},
         {"bus", row.Bus},
         {"path", row.Path},
         {"capacity", row.Capacity},
         {"outcome", row.Outcome},
         {"health", HealthVerdictName(row.Health)},
         {"coverage", row.Coverage.empty() ? json(nullptr) : json(row.Coverage)},
         {"bytes_written", row.BytesWritten},
         {"seconds", row.Seconds},
         {"average_mb_per_s", row.AverageMBps},
         {"verification", row.Verification.empty() ? json(nullptr) : json(row.Verification)},
         {"stopped_by", row.StoppedBy.empty() ? json(nullptr) : json(row.StoppedBy)},
         {"record_file", row.RecordFile.empty() ? json(nullptr) : json(row.RecordFile)},
         {"exit_status", row.ExitStatus},
         {"record", record}});
  }
  json j = {{"drives", drives}, {"exit_status", exitStatus}};
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace quarnel
