// Self-tests of the simulated drives: a drive whose SMART data page (byte 367
// bit 4) or Identify Controller block (OACS bit 4) offers them runs one on
// the simulated clock for self_test_seconds and ends it with self_test_result,
// kept in its self-test log; its progress shows in SMART data byte 363 or in
// the NVMe log's current operation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/sim/SimHost.h"

namespace quarnel {

namespace {

constexpr size_t kExecutionStatus = 363;
constexpr size_t kOfflineCapability = 367;
constexpr size_t kAtaLogDescriptors = 21;
constexpr size_t kNvmeLogResults = 20;

// self_test_result's names and the ATA status nibble each ends with.
struct TResultName {
  const char* Name;
  uint8_t Nibble;
};
constexpr TResultName kResults[] = {
    {"completed", 0},     {"fatal_error", 3},  {"unknown_failure", 4}, {"electrical_failure", 5},
    {"servo_failure", 6}, {"read_failure", 7}, {"handling_damage", 8},
};

// The power-on hours the drive reports: attribute 9 of its SMART page, or
// the NVMe health log's count; plus the hours simulated since.
uint64_t PowerOnHours(const TSimDrive& d, int64_t clockMs) {
  uint64_t hours = 0;
  if (d.Smart.size() >= 362) {
    for (size_t k = 0; k < 30; ++k) {
      const uint8_t* e = d.Smart.data() + 2 + 12 * k;
      if (e[0] == 9) hours = GetU32(e, 5);
    }
  } else if (d.NvmeHealth.size() >= 144) {
    hours = GetU64(d.NvmeHealth.data(), 128);
  }
  return hours + static_cast<uint64_t>(clockMs / 3600000);
}

// The fraction of the running test done, 0..1.
double Done(const TSimSelfTest& t, int64_t clockMs) {
  if (t.Seconds <= 0) return 1;
  return std::clamp(static_cast<double>(clockMs - t.StartMs) / (t.Seconds * 1000), 0.0, 1.0);
}

// Tens of percent left, as byte 363 gives them: 9 at most while it runs.
uint8_t TensLeft(double done) {
  return static_cast<uint8_t>(std::clamp(std::ceil((1 - done) * 10), 0.0, 9.0));
}

void EndTest(TSimSelfTest& t, uint8_t status, uint8_t tensLeft, uint64_t hours,
             std::optional<uint64_t> lba) {
  t.Log.push_back({t.Running, status, tensLeft, hours, lba});
  t.LastStatus = status;
  t.Running = 0;
}

// Where the page's sum was right, it stays right.
void KeepChecksum(std::vector<uint8_t>& block, bool wasValid) {
  if (wasValid && !block.empty()) SetChecksumByte(block.data(), block.size());
}

bool SumIsZero(const std::vector<uint8_t>& block) {
  return ByteSum(block.data(), block.size()) == 0;
}

}  // namespace

std::string LoadSimSelfTest(const nlohmann::json& j, TSimSelfTest& t) {
  if (j.contains("self_test_seconds")) {
    const auto& v = j.at("self_test_seconds");
    if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > 1e6) {
      return "\"self_test_seconds\" must be a number of seconds from 0 to 1000000";
    }
    t.Seconds = v.get<double>();
  }
  if (!j.contains("self_test_result")) return "";
  const auto& r = j.at("self_test_result");
  if (!r.is_object() || !r.contains("status") || !r.at("status").is_string()) {
    return "\"self_test_result\" must be an object with a \"status\"";
  }
  for (const auto& [key, value] : r.items()) {
    if (key != "status" && key != "lba") return "\"self_test_result\" has no key \"" + key + "\"";
  }
  const std::string status = r.at("status").get<std::string>();
  const auto* found = std::find_if(std::begin(kResults), std::end(kResults),
                                   [&](const TResultName& n) { return status == n.Name; });
  if (found == std::end(kResults))
    return "\"self_test_result\" status \"" + status + "\" is unknown";
  t.Result = found->Nibble;
  if (r.contains("lba")) {
    if (!r.at("lba").is_number_unsigned() || t.Result == 0) {
      return "\"self_test_result\" lba must be a sector number, of a failure";
    }
    t.FailingLba = r.at("lba").get<uint64_t>();
  }
  return "";
}

bool SimHost::SelfTestOffered(const TSimDrive& d, bool nvme) {
  if (nvme) return d.NvmeController.size() >= 258 && (d.NvmeController[256] & 0x10) != 0;
  return d.Smart.size() > kOfflineCapability && (d.Smart[kOfflineCapability] & 0x10) != 0;
}

void SimHost::AdvanceSelfTest(TSimDrive& d, bool nvme) {
  TSimSelfTest& t = d.SelfTest;
  if (t.Running == 0 || Done(t, clockMs_) < 1) return;
  // A failure stops short of the end; the ATA log keeps its LBA in 28 bits.
  const uint8_t left = t.Result == 0 ? 0 : 1;
  std::optional<uint64_t> lba = t.FailingLba;
  if (lba && !nvme) lba = *lba & 0x0FFFFFFF;
  EndTest(t, t.Result, left, PowerOnHours(d, clockMs_), lba);
}

bool SimHost::AtaSelfTest(TSimDrive& d, uint8_t subcommand) {
  TSimSelfTest& t = d.SelfTest;
  if (!SelfTestOffered(d, false) || !d.SmartEnabled) return Fail(win::kERROR_INVALID_FUNCTION);
  const bool conveyance = (d.Smart[kOfflineCapability] & 0x20) != 0;
  AdvanceSelfTest(d, false);
  ++t.Commands;
  if (subcommand == 0x7F) {
    if (t.Running != 0) {
      EndTest(t, 1, TensLeft(Done(t, clockMs_)), PowerOnHours(d, clockMs_), std::nullopt);
    }
    return Succeed();
  }
  // Only the off-line forms; a drive busy with a test aborts another.
  if ((subcommand != 1 && subcommand != 2 && !(subcommand == 3 && conveyance)) || t.Running != 0) {
    return Fail(win::kERROR_INVALID_FUNCTION);
  }
  t.Running = subcommand;
  t.StartMs = clockMs_;
  return Succeed();
}

std::vector<uint8_t> SimHost::SmartPageNow(TSimDrive& d) {
  std::vector<uint8_t> page = d.Smart;
  if (!SelfTestOffered(d, false)) return page;
  AdvanceSelfTest(d, false);
  const bool valid = SumIsZero(page);
  const TSimSelfTest& t = d.SelfTest;
  const bool ran = t.Running != 0 || !t.Log.empty();
  if (t.Running != 0) {
    page[kExecutionStatus] = static_cast<uint8_t>(0xF0 | TensLeft(Done(t, clockMs_)));
  } else if (ran) {
    page[kExecutionStatus] =
        static_cast<uint8_t>((t.LastStatus << 4) | (t.Log.empty() ? 0 : t.Log.back().Remaining));
  }
  KeepChecksum(page, valid);
  return page;
}

std::vector<uint8_t> SimHost::AtaSelfTestLog(TSimDrive& d) {
  AdvanceSelfTest(d, false);
  std::vector<uint8_t> log(512, 0);
  log[0] = 1;  // revision
  const std::vector<TSimSelfTest::TEntry>& entries = d.SelfTest.Log;
  // The last 21 entries in their circular slots, the newest named by byte 508.
  const size_t first =
      entries.size() > kAtaLogDescriptors ? entries.size() - kAtaLogDescriptors : 0;
  for (size_t i = first; i < entries.size(); ++i) {
    uint8_t* p = log.data() + 2 + 24 * (i % kAtaLogDescriptors);
    const TSimSelfTest::TEntry& e = entries[i];
    p[0] = e.Routine;
    p[1] = static_cast<uint8_t>((e.Status << 4) | e.Remaining);
    PutU16(p, 2, static_cast<uint16_t>(std::min<uint64_t>(e.Hours, 0xFFFF)));
    PutU32(p, 5, e.Lba ? static_cast<uint32_t>(*e.Lba) : 0xFFFFFFFFu);
  }
  if (!entries.empty())
    log[508] = static_cast<uint8_t>((entries.size() - 1) % kAtaLogDescriptors + 1);
  KeepChecksum(log, true);
  return log;
}

void SimHost::NvmeSelfTestLog(TSimDrive& d, uint8_t* log) {
  AdvanceSelfTest(d, true);
  const TSimSelfTest& t = d.SelfTest;
  std::memset(log, 0, win::kNVME_SELF_TEST_LOG_SIZE);
  log[0] = t.Running;
  if (t.Running != 0) log[1] = static_cast<uint8_t>(std::floor(Done(t, clockMs_) * 100));
  for (size_t k = 0; k < kNvmeLogResults; ++k) {
    uint8_t* r = log + 4 + 28 * k;
    if (k >= t.Log.size()) {
      r[0] = 0x0F;  // not used
      continue;
    }
    const TSimSelfTest::TEntry& e = t.Log[t.Log.size() - 1 - k];
    // ATA's nibbles as NVMe's results: aborted, fatal, failed segment (the
    // media check, with the sector), failed in another element.
    const uint8_t result = e.Status == 0   ? 0
                           : e.Status == 1 ? 1
                           : e.Status == 3 ? 5
                           : e.Status == 7 ? 7
                                           : 6;
    r[0] = static_cast<uint8_t>((e.Routine << 4) | result);
    r[1] = result == 7 ? 7 : 0;
    PutU64(r, 4, e.Hours);
    if (e.Lba) {
      r[2] = 0x02;
      PutU64(r, 16, *e.Lba);
    }
  }
}

bool SimHost::NvmeSelfTestRequest(TSimDrive& d, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                  uint32_t outSize, uint32_t* returned) {
  uint8_t code = 0;
  if (const uint32_t refused = ParseNvmeSelfTestRequest(in, inSize, outSize, &code)) {
    return Fail(refused);
  }
  // A drive without the block speaks no NVMe.
  if (d.NvmeController.empty()) return Fail(win::kERROR_NOT_SUPPORTED);
  TSimSelfTest& t = d.SelfTest;
  AdvanceSelfTest(d, true);
  uint32_t status = 0;
  if (!SelfTestOffered(d, true)) {
    status = 0x01;  // invalid command opcode
  } else if (code == 0xF) {
    ++t.Commands;
    if (t.Running != 0) {
      EndTest(t, 1, TensLeft(Done(t, clockMs_)), PowerOnHours(d, clockMs_), std::nullopt);
    }
  } else if (t.Running != 0) {
    status = 0x1D;  // a self-test is in progress
  } else {
    ++t.Commands;
    t.Running = code;
    t.StartMs = clockMs_;
  }
  PutU32(out, 0, status);
  *returned = win::kNVME_SELF_TEST_OUT_SIZE;
  return Succeed();
}

}  // namespace quarnel
