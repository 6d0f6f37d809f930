// What the core asks of whichever front end runs it: message boxes and the
// request to end the program.
#pragma once

#include <string>

namespace quarnel {

enum class TMessageIcon { Error, Warning, Information };

class TUiSeam {
 public:
  virtual ~TUiSeam() = default;
  /// A modal message box; returns when the user has closed it.
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           TMessageIcon icon) = 0;
};

/// The front end's seam; without one, messages are kept in LastMessage.
TUiSeam& Ui();
void SetUi(TUiSeam* ui);

/// The text of the last message shown through the default seam (tests).
const std::string& LastMessageText();

/// Asks the front end to end the program once the current step returns.
void RequestProgramEnd(int exitCode);
bool ProgramEndRequested();
int ProgramExitCode();

/// Forgets the end request and the kept message (tests).
void ResetUi();

}  // namespace quarnel
