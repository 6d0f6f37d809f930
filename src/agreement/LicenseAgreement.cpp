#include "agreement/LicenseAgreement.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ui/UiSeam.h"

namespace quarnel {

bool Accepted = false;

std::string GetAppDataFolder() {
  // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder;
  if (data && data[0] == '/') {
    folder = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::string(home) + "/.local/share";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string AgreementFilePath() {
  const std::string folder = GetAppDataFolder();
  if (folder.empty()) return {};
  return folder + "/brovix." + kAgreementVersion + ".agreement";
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
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
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
}

bool AgreementAccepted() {
  const std::string path = AgreementFilePath();
  return !path.empty() && ReadTextFile(path) == "1";
}

void AcceptAgreement() {
  WriteTextFile(AgreementFilePath(), "1");
  Accepted = true;
}

void AgreementWindowClosed() {
  if (!Accepted) RequestProgramEnd(0);
}

void ResetAgreement() { Accepted = false; }

}  // namespace quarnel
