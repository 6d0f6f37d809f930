// The question dialog's two forms and their common result codes.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"

namespace quarnel::test {
namespace {

class TDialogUi : public TUiSeam {
 public:
  void ShowMessage(const std::string& text, const std::string& caption,
                   TMessageIcon icon) override {
    Message = caption + "|" + text;
    Icon = icon;
  }
  int TaskDialog(const TTaskDialogRequest& r) override {
    Task = r;
    ++Tasks;
    return Pressed;
  }
  int ClassicDialog(const TClassicDialogRequest& r) override {
    Classic = r;
    ++Classics;
    return Pressed;
  }
  int Pressed = 0;
  int Tasks = 0, Classics = 0;
  TTaskDialogRequest Task;
  TClassicDialogRequest Classic;
  std::string Message;
  TMessageIcon Icon = TMessageIcon::Information;
};

class TaskDialogs : public ::testing::Test {
 protected:
  void Use(int major) {
    UseSimHost(R"({"platform": {"major": )" + std::to_string(major) + "}}");
    SetUi(&ui_);
  }
  void TearDown() override { SetUi(nullptr); }
  TDialogUi ui_;
};

TEST_F(TaskDialogs, NewerHostsGetTheTaskDialogWithItsButtonsMapped) {
  Use(6);
  EXPECT_TRUE(IsVistaOrLater());
  const std::vector<std::pair<int, int>> pressedToResult = {
      {2, 2}, {4, 4}, {6, 6}, {7, 7}, {8, 3}, {1, 1}, {3, 1}, {5, 1}, {99, 1}, {0, 0}};
  for (const auto& [pressed, result] : pressedToResult) {
    ui_.Pressed = pressed;
    EXPECT_EQ(ShowTaskDialog("T", "I", "C", kIconWarning, 10), result) << pressed;
  }
  EXPECT_EQ(ui_.Task.Title, "T");
  EXPECT_EQ(ui_.Task.MainInstruction, "I");
  EXPECT_EQ(ui_.Task.Content, "C");
  EXPECT_EQ(ui_.Task.Icon, 84);
  EXPECT_EQ(ui_.Task.Buttons, 10);
  EXPECT_EQ(ui_.Classics, 0);
}

TEST_F(TaskDialogs, OlderHostsGetTheContentAloneUnderTheKindsCaption) {
  Use(5);
  EXPECT_FALSE(IsVistaOrLater());
  const std::vector<std::tuple<int, TDialogKind, std::string>> kinds = {
      {84, TDialogKind::Warning, "警告"},
      {98, TDialogKind::Error, "错误"},
      {81, TDialogKind::Information, "Information"},
      {99, TDialogKind::Confirmation, "Confirm"},
      {7, TDialogKind::Custom, "Quarnel 4.40    "}};
  ui_.Pressed = 3;  // Abort
  for (const auto& [icon, kind, caption] : kinds) {
    EXPECT_EQ(ShowTaskDialog("Title", "Instruction", "Content", icon, 10 | 32), 3);
    EXPECT_EQ(ui_.Classic.Text, "Content");
    EXPECT_EQ(ui_.Classic.Kind, kind);
    EXPECT_EQ(ui_.Classic.Caption, caption);
    EXPECT_EQ(ui_.Classic.Buttons, 42);
  }
  EXPECT_EQ(ui_.Tasks, 0);
}

TEST_F(TaskDialogs, TaskDialogTextsAreCutAt1024CharactersNotInsideOne) {
  Use(6);
  std::string content;
  for (int i = 0; i < 1030; ++i) content += "字";
  ShowTaskDialog("t", "i", content, 84, 10);
  EXPECT_EQ(ui_.Task.Content.size(), 1024u * 3);
}

TEST_F(TaskDialogs, FatalErrorShowsTheErrorBoxAndEndsTheProgram) {
  Use(6);
  FatalError("打开设备错误: x", "错误");
  EXPECT_EQ(ui_.Message, "错误|打开设备错误: x");
  EXPECT_EQ(ui_.Icon, TMessageIcon::Error);
  EXPECT_TRUE(ProgramEndRequested());
}

}  // namespace
}  // namespace quarnel::test
