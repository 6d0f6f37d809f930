// Questions and fatal errors: the task dialog where the front end has it, the
// classic dialog before; the same result codes on both paths.
#pragma once

#include <array>
#include <string>

namespace quarnel {

inline constexpr int kIconInformation = 81;
inline constexpr int kIconWarning = 84;
inline constexpr int kIconError = 98;
inline constexpr int kIconQuestion = 99;

inline constexpr int kButtonOk = 1;
inline constexpr int kButtonYes = 2;
inline constexpr int kButtonNo = 4;
inline constexpr int kButtonCancel = 8;
inline constexpr int kButtonRetry = 16;
inline constexpr int kButtonClose = 32;

/// Result codes: 1 OK, 2 Cancel, 3 Abort (also Close), 4 Retry, 6 Yes, 7 No,
/// 0 nothing shown.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultAbort = 3;
inline constexpr int kResultRetry = 4;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

/// A common button: its flag, the code the task dialog reports for it, the
/// classic dialog's result and caption (the character after "&" is its
/// access key). The classic dialog turns Close into Abort.
struct TDialogButton {
  int Flag;
  int TaskCode;
  int ClassicResult;
  const char* ClassicCaption;
};
inline constexpr std::array<TDialogButton, 6> kDialogButtons = {{
    {kButtonOk, 1, kResultOk, "OK"},
    {kButtonYes, 6, kResultYes, "&Yes"},
    {kButtonNo, 7, kResultNo, "&No"},
    {kButtonCancel, 2, kResultCancel, "Cancel"},
    {kButtonRetry, 4, kResultRetry, "&Retry"},
    {kButtonClose, 8, kResultAbort, "&Abort"},
}};

/// The button flag that Enter presses: a warning asks before something that
/// cannot be undone, so there the refusing button (Cancel, else No); 0 (the
/// dialog's first button) otherwise.
int EnterButton(int icon, int buttons);

/// True when the front end shows task dialogs: on Windows, a host of major
/// version 6 on; the Qt front end always. Asked anew each call.
bool IsVistaOrLater();

/// Asks a question; see the result codes above. Texts longer than 1024
/// characters are cut to 1024 for the task dialog.
int ShowTaskDialog(const std::string& title, const std::string& mainInstruction,
                   const std::string& content, int icon, int buttons);
/// The same through `ui`.
class TUiSeam;
int ShowTaskDialog(TUiSeam& ui, const std::string& title, const std::string& mainInstruction,
                   const std::string& content, int icon, int buttons);

/// An error box with the single OK button, then the program ends: the end
/// request is left for the front end, which ends once the caller returns.
void FatalError(const std::string& message, const std::string& caption);

}  // namespace quarnel
