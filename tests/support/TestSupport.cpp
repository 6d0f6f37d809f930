#include "support/TestSupport.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>


namespace quarnel::test {

TTempFolder::TTempFolder(const std::string& name) {
  // A new folder of a random name: create_directory fails on one that exists.
  const auto base = std::filesystem::temp_directory_path();
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const auto candidate = base / ("quarnel-" + name + "-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
  }
  if (path_.empty()) ADD_FAILURE() << "cannot make a temporary folder in " << base;
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string DriveDataDir(const std::string& name) {
  return std::string(QUARNEL_TEST_DATA) + "/drives/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CapturedDrives() {
  std::vector<std::string> names;
  for (const auto& e :
       std::filesystem::directory_iterator(std::string(QUARNEL_TEST_DATA) + "/drives")) {
    if (e.is_directory()) names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32  // the tests that run commands are the Linux build's
int RunCommand(const std::string& command, std::string* out, std::string* err) {
  const std::string errFile =
      std::filesystem::temp_directory_path() / ("quarnel-test-err-" + std::to_string(::getpid()));
  FILE* pipe = ::popen((command + " 2>" + errFile).c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buf;
  out->clear();
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out->append(buf.data(), n);
  const int status = ::pclose(pipe);
  std::ifstream in(errFile, std::ios::binary);
  err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::filesystem::remove(errFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace quarnel::test
