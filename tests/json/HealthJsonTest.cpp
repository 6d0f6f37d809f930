// A verdict written into a record and read back, as a certificate reads it:
// every reason with its figures, also the worn-out limit the document
// leaves out.
#include <gtest/gtest.h>

#include "json/HealthJson.h"

namespace quarnel {
namespace {

using K = THealthReasonKind;

TEST(HealthJson, EveryReasonReadsBackAsItWasWritten) {
  THealthAssessment ata;
  ata.Verdict = THealthVerdict::Failing;
  ata.ReturnStatus = TSmartReturnStatus::Failed;
  ata.BadSectors = 40000;
  ata.Reasons = {{K::ReturnStatusFailed, 0, 0, 0},
                 {K::AttributeFailingNow, 5, 3, 36},
                 {K::AttributeFailedInPast, 1, 6, 51},
                 {K::BadSectors, 197, 40000, 0},
                 {K::ManyBadSectors, 0, 40000, 29696}};
  THealthAssessment nvme;
  nvme.Verdict = THealthVerdict::Failing;
  nvme.Reasons = {{K::NvmeCriticalWarning, 3, 0, 0},
                  {K::NvmeSpareLow, 0, 4, 10},
                  {K::NvmeWornOut, 0, 104, 100},
                  {K::NvmeMediaErrors, 0, 12, 0}};
  for (const THealthAssessment& a : {ata, nvme}) {
    const THealthAssessment b = ReadHealthObject(nlohmann::json::parse(HealthObject(a).dump()));
    EXPECT_EQ(b.Verdict, a.Verdict);
    EXPECT_EQ(b.ReturnStatus, a.ReturnStatus);
    EXPECT_EQ(b.BadSectors, a.BadSectors);
    ASSERT_EQ(b.Reasons.size(), a.Reasons.size());
    for (size_t i = 0; i < a.Reasons.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(b.Reasons[i].Kind, a.Reasons[i].Kind);
      EXPECT_EQ(b.Reasons[i].Attribute, a.Reasons[i].Attribute);
      EXPECT_EQ(b.Reasons[i].Value, a.Reasons[i].Value);
      EXPECT_EQ(b.Reasons[i].Limit, a.Reasons[i].Limit);
    }
  }
}

}  // namespace
}  // namespace quarnel
