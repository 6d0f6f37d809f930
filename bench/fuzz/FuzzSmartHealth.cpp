// SMART RETURN STATUS and the pages the verdict is judged from, over any
// drive: the SMART requests (ENABLE, READ DATA, READ THRESHOLDS, RETURN
// STATUS, the self-test log) answered from the fuzzer's bytes; then the ATA
// and NVMe verdicts and their report lines. (The verdict's JSON is read
// back by FuzzRecord's certificates and tests/json/HealthJsonTest.cpp.)
#include <cstdint>
#include <cstring>

#include "FuzzHost.h"
#include "ata/AtaCommands.h"
#include "host/HostConstants.h"
#include "reports/Health.h"

namespace {

using namespace quarnel;

bool Has(const THealthAssessment& a, THealthReasonKind kind) {
  for (const THealthReason& r : a.Reasons) {
    if (r.Kind == kind) return true;
  }
  return false;
}

void CheckAssessment(const THealthAssessment& a, bool nvme) {
  if (a.Verdict == THealthVerdict::Unknown ||
      (a.Verdict == THealthVerdict::Good) != a.Reasons.empty()) {
    __builtin_trap();
  }
  const bool failing = nvme ? Has(a, THealthReasonKind::NvmeCriticalWarning)
                            : Has(a, THealthReasonKind::ReturnStatusFailed) ||
                                  Has(a, THealthReasonKind::AttributeFailingNow) ||
                                  Has(a, THealthReasonKind::ManyBadSectors);
  if (failing != (a.Verdict == THealthVerdict::Failing)) __builtin_trap();
  if ((a.ReturnStatus == TSmartReturnStatus::Failed) !=
      Has(a, THealthReasonKind::ReturnStatusFailed)) {
    __builtin_trap();
  }
  if (!nvme && (a.BadSectors.value_or(0) > 0) != Has(a, THealthReasonKind::BadSectors)) {
    __builtin_trap();
  }
  if (HealthLines(a, nvme).size() < 2 || HealthConfirmationLine(a).empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int64_t sectors = in.ConsumeIntegralInRange<int64_t>(0, int64_t{1} << 40);
  const bool ataBus = in.ConsumeBool();
  TNvmeHealthBlock nvme = {};
  const std::string log = in.ConsumeBytesAsString(in.ConsumeBool() ? sizeof nvme : 0);
  std::memcpy(nvme, log.data(), log.size());

  auto owned = std::make_unique<TFuzzHost>(in);
  TFuzzHost& host = *owned;
  SetHost(std::move(owned));
  // RETURN STATUS alone: an answer only from a whole reply holding one of
  // the two register pairs.
  const TSmartReturnStatus alone = SmartReturnStatus(1, 0);
  if (alone != TSmartReturnStatus::NoAnswer) {
    const size_t at = win::kSENDCMDOUT_bBuffer;
    const bool passed = host.LastReply.size() > at + win::kIDEREGS_bCylHighReg &&
                        host.LastReply[at + win::kIDEREGS_bCylLowReg] == win::kSMART_CYL_LOW &&
                        host.LastReply[at + win::kIDEREGS_bCylHighReg] == win::kSMART_CYL_HI;
    if (host.LastReturned > win::kSMART_SEND_NO_DATA_OUT ||
        host.LastReturned < at + win::kIDEREGS_bCommandReg + 1 ||
        passed != (alone == TSmartReturnStatus::Passed)) {
      __builtin_trap();
    }
  }
  TSmartFacts facts;
  facts.Sectors = sectors;
  TAtaBlock page = {}, thresholds = {}, selfTests = {};
  bool selfTestsRead = false;
  facts.Read = ReadSmartPage(1, ataBus, 0, page, thresholds, &facts.ThresholdsRead,
                             &facts.ReturnStatus, &selfTests, &selfTestsRead);
  SetHost(nullptr);
  if (!facts.Read && (facts.ThresholdsRead || selfTestsRead ||
                      facts.ReturnStatus != TSmartReturnStatus::NoAnswer)) {
    __builtin_trap();
  }
  std::memcpy(facts.Page.data(), page, sizeof page);
  std::memcpy(facts.Thresholds.data(), thresholds, sizeof thresholds);
  if (facts.Read) {
    const THealthAssessment a =
        AssessAtaHealth(SmartAttributes(facts), facts.ReturnStatus, sectors);
    CheckAssessment(a, false);
    if (a.BadSectors && sectors > 0 && *a.BadSectors > 2 * static_cast<uint64_t>(sectors)) {
      __builtin_trap();  // each of the two counts is bounded by the drive's size
    }
  } else if (AssessSmartFacts(facts).Verdict != THealthVerdict::Unknown) {
    __builtin_trap();
  }
  CheckAssessment(AssessNvmeHealth(DecodeNvmeHealth(nvme)), true);
  return 0;
}
