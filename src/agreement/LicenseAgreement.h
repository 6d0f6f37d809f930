// The end-user agreement, accepted once per user and program version. The
// acceptance lives in one small file in the user's application-data folder.
#pragma once

#include <cstddef>
#include <string>

#include "base/ProgramInfo.h"

namespace quarnel {

/// The version text in the acceptance file's name.
inline constexpr const char* kAgreementVersion = kProgramVersion;

/// The acceptance file in GetAppDataFolder: the folder, the system's path
/// separator, "brovix.", the version, ".agreement". Empty when the folder is
/// unknown.
std::string AgreementFilePath();

/// The most the acceptance file is read of.
inline constexpr size_t kAgreementFileLimit = 4096;

/// The whole file (a UTF-8 path) as bytes; empty when it is no regular file of
/// at most kAgreementFileLimit bytes (a link, a FIFO, a device) or cannot be read.
std::string ReadTextFile(const std::string& path);

/// Creates the file, or replaces the content of the regular file there, with
/// the text unchanged; never through a link, never a device or a FIFO.
/// Failures are ignored: the user is then asked again at the next start.
void WriteTextFile(const std::string& path, const std::string& text);

/// True when the acceptance file holds exactly the one character "1".
bool AgreementAccepted();

/// The agreement as the agreement window shows it.
extern const char* const kAgreementText;

/// The agreement window as the core drives it.
class TAgreementView {
 public:
  virtual ~TAgreementView() = default;
  /// Shows the window modally; returns when it has closed.
  virtual void ShowModal() = 0;
};

/// Shows the agreement unless this user has accepted this version.
void RunAgreement(TAgreementView& view);

/// Set by the agree button only.
extern bool Accepted;

/// The agree button: writes "1" to the acceptance file and sets Accepted.
void AcceptAgreement();

/// The agreement window has closed, however: without acceptance the program
/// is told to end.
void AgreementWindowClosed();

/// Clears Accepted (tests).
void ResetAgreement();

}  // namespace quarnel
