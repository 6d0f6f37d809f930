#include "support/LoopLab.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace quarnel::test {

namespace fs = std::filesystem;

std::string TLoopLab::Unavailable() {
  if (::geteuid() != 0) return "loop-device tests need root";
  if (!fs::exists("/dev/loop-control")) return "no /dev/loop-control on this machine";
  std::string out, err;
  if (RunCommand("losetup --version", &out, &err) != 0) return "losetup is missing";
  return {};
}

TLoopLab::TLoopLab() {
  std::string pattern = (fs::temp_directory_path() / "quarnel-loop-XXXXXX").string();
  if (::mkdtemp(pattern.data())) dir_ = pattern;
  EXPECT_FALSE(dir_.empty()) << "no temporary folder";
}

TLoopLab::~TLoopLab() {
  std::string out, err;
  for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) {
    RunCommand("umount '" + *it + "'", &out, &err);  // fails quietly when the test unmounted it
  }
  for (const std::string& node : madeNodes_) ::unlink(node.c_str());
  for (const auto& [node, file] : loops_) {
    RunCommand("partx -d " + node, &out, &err);
    RunCommand("losetup -d " + node, &out, &err);
  }
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

bool TLoopLab::Run(const std::string& command, std::string* out) {
  std::string o, err;
  const int status = RunCommand(command, &o, &err);
  if (out) *out = o;
  EXPECT_EQ(status, 0) << command << "\n" << err;
  return status == 0;
}

std::string TLoopLab::Attach(int megabytes, int sectorSize, bool readOnly, bool partScan,
                             int64_t sizeLimit) {
  const std::string file = dir_ + "/disk" + std::to_string(loops_.size()) + ".img";
  if (!Run("truncate -s " + std::to_string(megabytes) + "M " + file)) return {};
  std::string node;
  const std::string options =
      (sectorSize != 512 ? " --sector-size " + std::to_string(sectorSize) : "") +
      (readOnly ? " --read-only" : "") + (partScan ? " --partscan" : "") +
      (sizeLimit > 0 ? " --sizelimit " + std::to_string(sizeLimit) : "");
  if (!Run("losetup --find --show" + options + " " + file, &node)) return {};
  while (!node.empty() && (node.back() == '\n' || node.back() == ' ')) node.pop_back();
  loops_.emplace_back(node, file);
  return node;
}

std::string TLoopLab::BackingFile(const std::string& node) const {
  for (const auto& [n, file] : loops_) {
    if (n == node) return file;
  }
  return {};
}

bool TLoopLab::Partition(const std::string& node, const std::string& layout) {
  if (!Run("printf 'label: dos\\n" + layout + "' | sfdisk -q " + node)) return false;
  if (!Run("partx -a " + node)) return false;
  // Without udev or devtmpfs nobody makes the partition nodes: make them.
  const std::string name = fs::path(node).filename().string();
  for (const auto& entry : fs::directory_iterator("/sys/block/" + name)) {
    const std::string part = entry.path().filename().string();
    if (part.rfind(name + "p", 0) != 0 || fs::exists("/dev/" + part)) continue;
    unsigned maj = 0, min = 0;
    std::ifstream in(entry.path() / "dev");
    char colon = 0;
    in >> maj >> colon >> min;
    const std::string made = "/dev/" + part;
    if (::mknod(made.c_str(), S_IFBLK | 0600, makedev(maj, min)) == 0) madeNodes_.push_back(made);
  }
  return true;
}

std::string TLoopLab::MountNew(const std::string& node, const std::string& fsType,
                               const std::string& name, const std::string& options) {
  const std::string target = dir_ + "/" + name;
  fs::create_directories(target);
  const std::string mkfs = fsType == "vfat" ? "mkfs.vfat " : "mkfs." + fsType + " -q -F ";
  if (!Run(mkfs + node + " >/dev/null")) return {};
  if (!Run("mount " + (options.empty() ? "" : "-o " + options + " ") + node + " " + target))
    return {};
  mounts_.push_back(target);
  return target;
}

std::string MountOptions(const std::string& target) {
  std::ifstream in("/proc/self/mountinfo");
  std::string found;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, parent, devno, root, point, options;
    fields >> id >> parent >> devno >> root >> point >> options;
    if (point == target) found = options;
  }
  return found;
}

}  // namespace quarnel::test
