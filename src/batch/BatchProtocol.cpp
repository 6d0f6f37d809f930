#include "batch/BatchProtocol.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

#include "base/Text.h"
#include "devices/DeviceTable.h"
#include "record/EraseRecordFile.h"
#include "json/HealthJson.h"

namespace quarnel {

using json = nlohmann::json;

namespace {

// Drive texts are bytes, not always UTF-8: they travel in hexadecimal.
std::string Hex(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) out += Hex2(static_cast<uint8_t>(c));
  return out;
}

bool FromHex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    uint8_t value = 0;
    const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return false;
    out += static_cast<char>(value);
  }
  *bytes = std::move(out);
  return true;
}

std::string Text(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Members read without a throw and without a default for a wrong type: a
// member of another type than asked is as good as missing.
const json* Member(const json& j, const char* name) {
  if (!j.is_object()) return nullptr;
  const auto it = j.find(name);
  return it == j.end() ? nullptr : &*it;
}

bool GetString(const json& j, const char* name, std::string* value) {
  const json* m = Member(j, name);
  if (!m || !m->is_string()) return false;
  *value = m->get<std::string>();
  return true;
}

bool GetBool(const json& j, const char* name, bool* value) {
  const json* m = Member(j, name);
  if (!m || !m->is_boolean()) return false;
  *value = m->get<bool>();
  return true;
}

bool GetInteger(const json& j, const char* name, int64_t low, int64_t high, int64_t* value) {
  const json* m = Member(j, name);
  if (!m || !m->is_number_integer()) return false;
  if (m->is_number_unsigned() &&
      m->get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    return false;
  }
  const int64_t v = m->get<int64_t>();
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

bool GetNumber(const json& j, const char* name, double* value) {
  const json* m = Member(j, name);
  if (!m || !m->is_number()) return false;
  const double v = m->get<double>();
  if (!std::isfinite(v)) return false;
  *value = v;
  return true;
}

constexpr int64_t kMaxInt = std::numeric_limits<int64_t>::max();

std::string Event(json j) { return std::string(1, kEventMark) + Text(j) + "\n"; }

std::string VerificationOf(const TEraseRecord& r) {
  if (r.FirmwareRun) return r.SampleCheck.Ran ? SampleResultName(r.SampleCheck.Result) : "not-run";
  if (!r.VerifyAsked) return "not-asked";
  if (!r.VerifyRan) return "not-run";
  return r.BadBlocks.empty() ? "passed" : "failed";
}

// The outcome event's figures into a row; false when it is none.
bool ReadOutcome(const json& j, TBatchRow* row) {
  int64_t status = 0;
  if (!GetInteger(j, "exit_status", -1, 255, &status)) return false;
  TBatchRow read = *row;
  read.ExitStatus = static_cast<int>(status);
  read.Seconds = 0;
  GetNumber(j, "seconds", &read.Seconds);
  read.RecordFile.clear();
  GetString(j, "record_file", &read.RecordFile);
  const json* r = Member(j, "record");
  if (!r || !r->is_object()) {
    read.Outcome = TRowOutcome::Refused;
    read.Record.clear();
    *row = std::move(read);
    return true;
  }
  read.Record = Text(*r);
  std::string outcome;
  GetString(*r, "outcome", &outcome);
  read.Outcome = RowOutcomeOfRecord(outcome);
  read.Coverage.clear();
  GetString(*r, "coverage", &read.Coverage);
  read.BytesWritten = 0;
  GetInteger(*r, "bytes_written", 0, kMaxInt, &read.BytesWritten);
  read.AverageMBps = 0;
  GetNumber(j, "average_mb_per_s", &read.AverageMBps);
  read.Verification.clear();
  GetString(j, "verification", &read.Verification);
  if (const json* health = Member(*r, "health"); health && health->is_object()) {
    if (const json* before = Member(*health, "before")) {
      const THealthAssessment assessment = ReadHealthObject(*before);
      if (assessment.Verdict != THealthVerdict::Unknown) read.Health = assessment.Verdict;
    }
  }
  read.StoppedBy.clear();
  if (const json* stop = Member(*r, "stopped_by"); stop && stop->is_object()) {
    GetString(*stop, "rule", &read.StoppedBy);
  }
  *row = std::move(read);
  return true;
}

}  // namespace

std::string RunOrderJson(const TRunOrder& o) {
  json identity = {{"read", o.Identity.Read},
                   {"sequence", o.Identity.HasSequence ? json(std::to_string(o.Identity.Sequence))
                                                       : json(nullptr)},
                   {"length", o.Identity.Length},
                   {"model_hex", Hex(o.Identity.Model)},
                   {"serial_hex", Hex(o.Identity.Serial)}};
  json j = {{"number", o.Number},
            {"identity", identity},
            {"path", o.Path},
            {"simulate", o.Simulate},
            {"simulate_file", o.SimulateFile},
            {"debug", o.Debug},
            {"quick", o.Quick},
            {"verify", o.Verify},
            {"firmware", o.Firmware},
            {"record_dir", o.RecordDir},
            {"sign_key_file", o.SignKeyFile},
            {"operator", o.Context.Operator},
            {"organisation", o.Context.Organisation},
            {"location", o.Context.Location},
            {"asset_tag", o.Context.AssetTag},
            {"stop_below_mb_per_s", o.StopBelowMBps},
            {"stop_above_celsius", o.StopAboveCelsius}};
  return Text(j);
}

bool ReadRunOrder(const std::string& text, TRunOrder* order, std::string* error) {
  const json j = json::parse(text, nullptr, false);
  TRunOrder o;
  const auto fail = [&](const char* what) {
    *error = std::string("the batch's order has no valid ") + what;
    return false;
  };
  if (!j.is_object()) return fail("JSON object");
  if (!GetInteger(j, "number", 1, kAllDriveNumbers, &o.Number)) return fail("number");
  const json* id = Member(j, "identity");
  if (!id || !id->is_object()) return fail("identity");
  std::string model, serial, sequence;
  if (!GetBool(*id, "read", &o.Identity.Read) ||
      !GetInteger(*id, "length", 0, kMaxInt, &o.Identity.Length) ||
      !GetString(*id, "model_hex", &model) || !FromHex(model, &o.Identity.Model) ||
      !GetString(*id, "serial_hex", &serial) || !FromHex(serial, &o.Identity.Serial)) {
    return fail("identity");
  }
  if (GetString(*id, "sequence", &sequence)) {
    const auto [end, ec] = std::from_chars(sequence.data(), sequence.data() + sequence.size(),
                                           o.Identity.Sequence);
    if (sequence.empty() || ec != std::errc() || end != sequence.data() + sequence.size()) {
      return fail("identity");
    }
    o.Identity.HasSequence = true;
  } else if (const json* s = Member(*id, "sequence"); !s || !s->is_null()) {
    return fail("identity");
  }
  int64_t celsius = 0;
  if (!GetString(j, "path", &o.Path) || o.Path.empty()) return fail("path");
  if (!GetBool(j, "simulate", &o.Simulate) || !GetString(j, "simulate_file", &o.SimulateFile) ||
      !GetBool(j, "debug", &o.Debug) || !GetBool(j, "quick", &o.Quick) ||
      !GetBool(j, "verify", &o.Verify) || !GetString(j, "firmware", &o.Firmware) ||
      !GetString(j, "record_dir", &o.RecordDir) ||
      !GetString(j, "sign_key_file", &o.SignKeyFile) ||
      !GetString(j, "operator", &o.Context.Operator) ||
      !GetString(j, "organisation", &o.Context.Organisation) ||
      !GetString(j, "location", &o.Context.Location) ||
      !GetString(j, "asset_tag", &o.Context.AssetTag) ||
      !GetNumber(j, "stop_below_mb_per_s", &o.StopBelowMBps) || o.StopBelowMBps < 0 ||
      !GetInteger(j, "stop_above_celsius", 0, 1000, &celsius)) {
    return fail("options");
  }
  o.StopAboveCelsius = static_cast<int>(celsius);
  *order = std::move(o);
  return true;
}

std::vector<std::string> MemberArguments(const TRunOrder& order) {
  std::vector<std::string> args;
  // A member looks at its own drive alone: the others are held by their own
  // runs, and a scan of them would only be turned away.
  if (order.Simulate) {
    args.push_back(order.SimulateFile.empty() ? "--simulate" : "--simulate=" + order.SimulateFile);
    if (order.SimulateStartMs > 0) {
      args.push_back("--simulate-start=" + std::to_string(order.SimulateStartMs));
    }
  } else {
    args.push_back("--devices=" + order.Path);
  }
  if (order.Debug) args.push_back("--debug");
  args.push_back("format");
  args.push_back("--batch-member=" + RunOrderJson(order));
  return args;
}

std::string LogEvent(const std::string& line) {
  return Event({{"event", "log"}, {"text", line}});
}

std::string ProgressEvent(const TRunProgress& p) {
  return Event({{"event", "progress"},
                {"done", p.Done},
                {"total", p.Total},
                {"elapsed_ms", p.ElapsedMs},
                {"pass", p.Pass}});
}

std::string OutcomeEvent(const TRunEnd& end) {
  json j = {{"event", "outcome"},
            {"exit_status", end.ExitStatus},
            {"seconds", end.Seconds},
            {"record_file", end.RecordFile}};
  if (!end.Record) {
    j["record"] = nullptr;
  } else {
    const TEraseRecord& record = *end.Record;
    j["record"] = json::parse(EraseRecordJson(record, end.Simulated, end.Key), nullptr, false);
    double mbps = 0;
    if (!record.SpeedSamples.empty() && record.SpeedSamples.back().Seconds > 0) {
      mbps = static_cast<double>(record.SpeedSamples.back().Bytes) / 1e6 /
             record.SpeedSamples.back().Seconds;
    }
    j["average_mb_per_s"] = mbps;
    j["verification"] = VerificationOf(record);
  }
  return Event(std::move(j));
}

TMemberEvent ReadMemberLine(const std::string& line) {
  TMemberEvent event;
  event.Stray = true;
  event.Text = line;
  if (line.empty() || line[0] != kEventMark) return event;
  const json j = json::parse(line.begin() + 1, line.end(), nullptr, false);
  std::string kind;
  if (!GetString(j, "event", &kind)) return event;
  if (kind == "log") {
    std::string text;
    if (!GetString(j, "text", &text)) return event;
    event.Stray = false;
    event.Text = std::move(text);
  } else if (kind == "progress") {
    TRunProgress p;
    int64_t pass = 0;
    if (!GetInteger(j, "done", 0, kMaxInt, &p.Done) ||
        !GetInteger(j, "total", 0, kMaxInt, &p.Total) ||
        !GetInteger(j, "elapsed_ms", 0, kMaxInt, &p.ElapsedMs) ||
        !GetInteger(j, "pass", 0, 1000, &pass) || p.Done > p.Total) {
      return event;
    }
    p.Pass = static_cast<int>(pass);
    event = {};
    event.Kind = TMemberEvent::TKind::Progress;
    event.Progress = p;
  } else if (kind == "outcome") {
    TBatchRow row;
    if (!ReadOutcome(j, &row)) return event;
    event = {};
    event.Kind = TMemberEvent::TKind::Outcome;
    event.Row = std::move(row);
  }
  return event;
}

void TMemberStream::Feed(const char* data, size_t size) {
  if (dropping_) {
    // The rest of a line that was cut, up to its end.
    const char* end = static_cast<const char*>(std::memchr(data, '\n', size));
    if (!end) return;
    dropping_ = false;
    size -= static_cast<size_t>(end + 1 - data);
    data = end + 1;
  }
  pending_.append(data, size);
  size_t start = 0, end;
  while ((end = pending_.find('\n', start)) != std::string::npos) {
    Take(pending_.substr(start, end - start));
    start = end + 1;
  }
  pending_.erase(0, start);
  if (pending_.size() > kLongestEvent) {
    TMemberEvent cut;
    cut.Stray = true;
    cut.Text = pending_.substr(0, 200) + "... (a line of over " +
               DecText(static_cast<int64_t>(kLongestEvent)) + " bytes, cut)";
    events_.push_back(std::move(cut));
    pending_.clear();
    dropping_ = true;
  }
}

void TMemberStream::End() {
  if (!pending_.empty()) {
    TMemberEvent last;
    last.Stray = true;
    last.Text = std::move(pending_);
    events_.push_back(std::move(last));
  }
  pending_.clear();
  dropping_ = false;
}

void TMemberStream::Take(const std::string& line) {
  TMemberEvent event = ReadMemberLine(line);
  if (event.Stray && event.Text.empty()) return;  // a blank line outside the protocol
  events_.push_back(std::move(event));
}

bool TMemberStream::Next(TMemberEvent* event) {
  if (next_ >= events_.size()) {
    events_.clear();
    next_ = 0;
    return false;
  }
  *event = std::move(events_[next_++]);
  return true;
}

}  // namespace quarnel
