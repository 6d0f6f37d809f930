#include "ui/TaskDialogs.h"

#include "base/ProgramInfo.h"
#include "ui/Catalogue.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

constexpr size_t kTaskDialogTextLimit = 1024;

// Cuts a UTF-8 text after `limit` characters, never inside one.
std::string Limited(const std::string& text) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == kTaskDialogTextLimit) return text.substr(0, i);
    ++characters;
  }
  return text;
}

int FromTaskDialogButton(int pressed) {
  for (const TDialogButton& b : kDialogButtons) {
    if (b.TaskCode == pressed) return b.ClassicResult;  // Close gives Abort
  }
  return kResultOk;
}

TDialogKind KindOf(int icon) {
  switch (icon) {
    case kIconInformation:
      return TDialogKind::Information;
    case kIconWarning:
      return TDialogKind::Warning;
    case kIconError:
      return TDialogKind::Error;
    case kIconQuestion:
      return TDialogKind::Confirmation;
    default:
      return TDialogKind::Custom;
  }
}

std::string CaptionOf(TDialogKind kind) {
  switch (kind) {
    case TDialogKind::Warning:
      return "警告";
    case TDialogKind::Error:
      return kErrorCaption;
    case TDialogKind::Information:
      return "Information";
    case TDialogKind::Confirmation:
      return "Confirm";
    case TDialogKind::Custom:
      break;
  }
  return std::string(kProgramTitle) + "    ";  // the application's title
}

}  // namespace

int EnterButton(int icon, int buttons) {
  if (icon != kIconWarning) return 0;
  if (buttons & kButtonCancel) return kButtonCancel;
  if (buttons & kButtonNo) return kButtonNo;
  return 0;
}

// What the front end can show decides, not the host's version number: a
// Linux kernel's 5 says nothing about the dialogs Qt has.
bool IsVistaOrLater() { return Ui().ShowsTaskDialogs(); }

int ShowTaskDialog(const std::string& title, const std::string& mainInstruction,
                   const std::string& content, int icon, int buttons) {
  return ShowTaskDialog(Ui(), title, mainInstruction, content, icon, buttons);
}

int ShowTaskDialog(TUiSeam& ui, const std::string& title, const std::string& mainInstruction,
                   const std::string& content, int icon, int buttons) {
  if (IsVistaOrLater()) {
    TTaskDialogRequest request{Limited(title), Limited(mainInstruction), Limited(content), icon,
                               buttons, EnterButton(icon, buttons)};
    const int pressed = ui.TaskDialog(request);
    if (pressed == 0) return 0;
    return FromTaskDialogButton(pressed);
  }
  TClassicDialogRequest request;
  request.Text = content;
  request.Kind = KindOf(icon);
  request.Caption = CaptionOf(request.Kind);
  request.Buttons = buttons;
  request.DefaultButton = EnterButton(icon, buttons);
  return ui.ClassicDialog(request);
}

void FatalError(const std::string& message, const std::string& caption) {
  Ui().ShowMessage(message, caption, TMessageIcon::Error);
  RequestProgramEnd(1);
}

}  // namespace quarnel
