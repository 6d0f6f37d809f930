#include "agreement/LicenseAgreement.h"

#include <filesystem>
#include <fstream>

#include "base/System.h"
#include "ui/UiSeam.h"

namespace quarnel {

bool Accepted = false;

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
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) return {};
  std::string content;
  char block[128];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    content.append(block, static_cast<size_t>(in.gcount()));
  }
  return content;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  if (path.empty()) return;
  // A fresh account may not have the folder yet; without it the acceptance
  // would never stick.
  std::error_code ignored;
  std::filesystem::create_directories(Utf8Path(path).parent_path(), ignored);
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  if (!out) return;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
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
