#include "batch/BatchReport.h"

#include <nlohmann/json.hpp>

#include "json/HealthJson.h"

namespace quarnel {

using json = nlohmann::json;

const char* RowOutcomeName(TRowOutcome outcome) {
  switch (outcome) {
    case TRowOutcome::Complete:
      return "complete";
    case TRowOutcome::Failed:
      return "failed";
    case TRowOutcome::Cancelled:
      return "cancelled";
    case TRowOutcome::Aborted:
      return "aborted";
    case TRowOutcome::NotLocked:
      return "not-locked";
    case TRowOutcome::DriveChanged:
      return "drive-changed";
    case TRowOutcome::Refused:
      return "refused";
    case TRowOutcome::Crashed:
      return "crashed";
    case TRowOutcome::NotStarted:
      break;
  }
  return "not-started";
}

TRowOutcome RowOutcomeOfRecord(const std::string& name) {
  for (const TRowOutcome o : {TRowOutcome::Complete, TRowOutcome::Cancelled, TRowOutcome::Aborted,
                              TRowOutcome::NotLocked, TRowOutcome::DriveChanged}) {
    if (name == RowOutcomeName(o)) return o;
  }
  return TRowOutcome::Failed;
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
         {"outcome", RowOutcomeName(row.Outcome)},
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
