#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/System.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;

uid_t Owner(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

// Started as root through pkexec: the data folder is the starting user's, and
// the files in it are reached with that user's rights and left as theirs.
TEST(InvokingUser, TheStartingUsersFolderWithTheirRights) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  const struct passwd* nobody = ::getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  char pattern[] = "/tmp/quarnel-invoking-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  fs::permissions(dir, fs::perms(0755));
  const fs::path user = dir / "user", secret = dir / "secret";
  fs::create_directory(user);
  ASSERT_EQ(::chown(user.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  std::ofstream(secret) << "root's";
  fs::permissions(secret, fs::perms(0600));
  fs::create_symlink(secret, user / "link");

  ::setenv("PKEXEC_UID", std::to_string(nobody->pw_uid).c_str(), 1);
  EXPECT_EQ(GetAppDataFolder(), std::string(nobody->pw_dir) + "/.local/share");
  // A link the user laid to root's file is not followed with root's rights.
  EXPECT_FALSE(RunAsInvokingUser([&] { return bool(std::ofstream(user / "link") << "1"); }));
  EXPECT_TRUE(RunAsInvokingUser([&] {
    std::error_code ec;
    fs::create_directories(user / "new" / "folder", ec);
    return !ec && bool(std::ofstream(user / "new" / "folder" / "file") << "1");
  }));
  ::unsetenv("PKEXEC_UID");

  EXPECT_EQ(::geteuid(), 0u);
  std::string content;
  std::getline(std::ifstream(secret), content);
  EXPECT_EQ(content, "root's");
  EXPECT_EQ(Owner(user / "new"), nobody->pw_uid);
  EXPECT_EQ(Owner(user / "new" / "folder" / "file"), nobody->pw_uid);
  // Without pkexec's variable the work runs as it is.
  EXPECT_TRUE(RunAsInvokingUser([] { return ::geteuid() == 0; }));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quarnel
