// The form before a desktop erase: its values go into the run's record, the
// operator, organisation and place are remembered in the user's data folder
// (the asset tag is not), and Cancel means no run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Desktop.h"
#include "app/EraseContextForm.h"
#include "app/MainState.h"
#include "app/MainStartUp.h"
#include "base/System.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "erase/EraseRecord.h"
#include "support/QuietMainView.h"
#include "support/SimSupport.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

// Fills the form as `Typed` says (or cancels it) and says yes to the run.
struct TFormSeam : TUiSeam {
  void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
  int TaskDialog(const TTaskDialogRequest&) override { return 6; }
  bool FieldsDialog(const TFieldsDialogRequest& request,
                    std::vector<std::string>* values) override {
    Requests.push_back(request);
    Shown.push_back(*values);
    if (Cancel) return false;
    *values = Typed;
    return true;
  }
  std::vector<TFieldsDialogRequest> Requests;
  std::vector<std::vector<std::string>> Shown;
  std::vector<std::string> Typed;
  bool Cancel = false;
};

class EraseContextFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("XDG_DATA_HOME", data_.Path().string().c_str(), 1);
#endif
    host_ = &test::UseSimHost(test::SimMachine({test::SimDrive(0, 2048)}));
    SetUi(&seam_);
    ScanDevices();
    SelectedDevice = 1;
    ASSERT_TRUE(OpenSelectedDevice());
    SetMainEraseRecordWriter([](const TEraseRecord&, std::string*, std::string*) { return true; });
  }
  void TearDown() override {
    SetMainEraseRecordWriter(nullptr);
    if (DeviceHandle != kInvalidHandle) GetHost().CloseHandle(DeviceHandle);
    DeviceHandle = kInvalidHandle;
    SetUi(nullptr);
#ifndef _WIN32
    unsetenv("XDG_DATA_HOME");
#endif
  }
  test::TTempFolder data_{"context"};
  SimHost* host_ = nullptr;
  TFormSeam seam_;
  test::TQuietMainView main_;
};

TEST_F(EraseContextFormTest, ValuesReachTheRecordAndThreeAreRememberedForTheNextRun) {
  seam_.Typed = {"  Li Wei ", "Acme 回收", "Room 3\r\n", "AT-0042"};
  FormatButtonClicked(main_);
  ASSERT_EQ(seam_.Requests.size(), 1u);
  EXPECT_EQ(seam_.Requests[0].Labels.size(), 4u);
  EXPECT_EQ(seam_.Shown[0], (std::vector<std::string>{"", "", "", ""}));
  const TEraseContext& c = MainLastEraseRecord().Context;
  EXPECT_EQ(c.Operator, "Li Wei");
  EXPECT_EQ(c.Organisation, "Acme 回收");
  EXPECT_EQ(c.Location, "Room 3");
  EXPECT_EQ(c.AssetTag, "AT-0042");
  EXPECT_FALSE(host_->Drive(0)->Writes.empty());

  std::string file, error;
  ASSERT_TRUE(ReadSmallFile(RememberedContextPath(), 4096, &file, &error)) << error;
  EXPECT_EQ(file, "operator=Li Wei\norganisation=Acme 回收\nlocation=Room 3\n");
  // The next run's form starts with them, its asset tag empty.
  seam_.Cancel = true;
  const size_t writes = host_->Drive(0)->Writes.size();
  FormatButtonClicked(main_);
  ASSERT_EQ(seam_.Shown.size(), 2u);
  EXPECT_EQ(seam_.Shown[1], (std::vector<std::string>{"Li Wei", "Acme 回收", "Room 3", ""}));
  // Cancelled: no run.
  EXPECT_EQ(host_->Drive(0)->Writes.size(), writes);
}

TEST(EraseContextFile, ReadsItsOwnLinesAndSkipsTheRest) {
  const TEraseContext c = ReadRememberedContext(
      "operator=A=B\nasset_tag=X\nnonsense\norganisation= Org \r\nlocation=\x01Here\n");
  EXPECT_EQ(c.Operator, "A=B");
  EXPECT_EQ(c.Organisation, "Org");
  EXPECT_EQ(c.Location, "Here");
  EXPECT_EQ(c.AssetTag, "");
  EXPECT_EQ(ReadRememberedContext(RememberedContextText({"x", "y\nz", "", "tag"})).Organisation,
            "yz");
}

}  // namespace
}  // namespace quarnel
