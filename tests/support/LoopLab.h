// Loop devices over files in a temporary folder, for the LinuxHost tests.
// Everything made is undone by the destructor, whatever the test's outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::test {

class TLoopLab {
 public:
  /// Empty when loop devices can be made here; otherwise why not.
  static std::string Unavailable();

  TLoopLab();
  ~TLoopLab();
  TLoopLab(const TLoopLab&) = delete;
  TLoopLab& operator=(const TLoopLab&) = delete;

  const std::string& Dir() const { return dir_; }
  /// A new loop device over a file of `megabytes`; its node, or "" (test failed).
  /// With `partScan` the kernel reads the partition table itself (losetup -P).
  /// With `sizeLimit` the device covers only that many bytes of the file.
  std::string Attach(int megabytes, int sectorSize = 512, bool readOnly = false,
                     bool partScan = false, int64_t sizeLimit = 0);
  /// The backing file of an attached node.
  std::string BackingFile(const std::string& node) const;
  /// Writes an MBR with the given sfdisk lines and makes the partition nodes.
  bool Partition(const std::string& node, const std::string& layout);
  /// Makes a filesystem on `node` and mounts it at Dir()/name with `options`.
  std::string MountNew(const std::string& node, const std::string& fsType, const std::string& name,
                       const std::string& options = "");
  /// Runs a shell command; false (with a test failure) when it exits non-zero.
  bool Run(const std::string& command, std::string* out = nullptr);

 private:
  std::string dir_;
  std::vector<std::pair<std::string, std::string>> loops_;  // node, backing file
  std::vector<std::string> mounts_;
  std::vector<std::string> madeNodes_;
};

/// The mount options of `target` from /proc/self/mountinfo; empty when not mounted.
std::string MountOptions(const std::string& target);

}  // namespace quarnel::test
