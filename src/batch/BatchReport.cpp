#include "batch/BatchReport.h"

#include <nlohmann/json.hpp>

#include "record/HealthJson.h"

namespace quarnel {

using json = nlohmann::json;

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
