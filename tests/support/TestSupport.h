// Shared helpers of the test binaries.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/SimSupport.h"

namespace quarnel::test {

/// A fresh folder of its own under the system's temporary folder, removed
/// with everything in it when the object goes.
class TTempFolder {
 public:
  explicit TTempFolder(const std::string& name = "test");
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// The folder of a real drive's captured blocks.
std::string DriveDataDir(const std::string& name);

/// Reads a whole file as bytes.
std::vector<uint8_t> ReadBytes(const std::string& path);

/// The names of the captured drives.
std::vector<std::string> CapturedDrives();

/// Runs a command line, returning its exit status; standard output and error
/// are captured.
int RunCommand(const std::string& command, std::string* out, std::string* err);

}  // namespace quarnel::test
