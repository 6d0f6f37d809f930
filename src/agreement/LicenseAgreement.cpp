#include "agreement/LicenseAgreement.h"

#include <filesystem>

#include "base/ProgramInfo.h"
#include "base/System.h"
#include "ui/UiSeam.h"

namespace quarnel {

bool Accepted = false;

const char* const kAgreementText =
    "Quarnel " QUARNEL_VERSION " - End-user agreement\n"
    "\n"
    "1. Quarnel erases drives. A low-level format writes zeros over the whole "
    "chosen drive, and a quick wipe over its first 10,240,000 bytes. Whatever "
    "was stored there cannot be recovered afterwards, by Quarnel or by any other "
    "program.\n"
    "\n"
    "2. You alone choose the drive and confirm the erase. Check the drive's "
    "model, serial number and size before you confirm, and keep a copy of every "
    "file you still need.\n"
    "\n"
    "3. Quarnel is given as it is, free of charge, without any warranty. Its "
    "makers are not liable for lost data, damaged drives or any other loss that "
    "comes from using it.\n"
    "\n"
    "4. You may use and copy Quarnel freely. You may not sell it or pass it on "
    "altered under its name.\n"
    "\n"
    "Press \"同意\" to accept this agreement and go on, or \"不同意\" to end the "
    "program.\n";

void RunAgreement(TAgreementView& view) {
  if (!AgreementAccepted()) view.ShowModal();
}

namespace {
// A path from UTF-8, whatever the system's narrow code page.
std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}
}  // namespace

std::string AgreementFilePath() {
  const std::string folder = GetAppDataFolder();
  if (folder.empty()) return {};
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  return folder + separator + "brovix." + kAgreementVersion + ".agreement";
}

std::string ReadTextFile(const std::string& path) {
  // The user's file, read by a program that may run as root: a FIFO there would
  // hold the start-up, a link to a device would never end.
  std::string content, ignored;
  ReadSmallFile(path, kAgreementFileLimit, &content, &ignored);
  return content;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  if (path.empty()) return;
  // A fresh account may not have the folder yet; without it the acceptance
  // would never stick.
  std::error_code ignored;
  std::filesystem::create_directories(Utf8Path(path).parent_path(), ignored);
  TKeptFile file;
  std::string error;
  if (file.Open(path, true, &error)) file.Replace(text, &error);
}

// The file is the user's, also when the program runs as root on the user's
// behalf.
bool AgreementAccepted() {
  const std::string path = AgreementFilePath();
  return !path.empty() && RunAsInvokingUser([&] { return ReadTextFile(path) == "1"; });
}

void AcceptAgreement() {
  const std::string path = AgreementFilePath();
  RunAsInvokingUser([&] {
    WriteTextFile(path, "1");
    return true;
  });
  Accepted = true;
}

void AgreementWindowClosed() {
  if (!Accepted) RequestProgramEnd(0);
}

void ResetAgreement() { Accepted = false; }

}  // namespace quarnel
