#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// The user's supplementary groups count too, as they do at the user's login.
TEST(InvokingUser, TakesTheUsersSupplementaryGroups) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  std::vector<gid_t> expected;
  const struct passwd* user = nullptr;
  ::setpwent();
  while (const struct passwd* entry = ::getpwent()) {
    int count = 64;
    std::vector<gid_t> groups(64);
    if (entry->pw_uid == 0 ||
        ::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0 || count < 2)
      continue;
    groups.resize(static_cast<size_t>(count));
    expected = groups;
    user = entry;
    break;
  }
  ::endpwent();
  if (!user) GTEST_SKIP() << "no user here has supplementary groups";
  std::sort(expected.begin(), expected.end());
  const std::string uid = std::to_string(user->pw_uid);
  const int before = ::getgroups(0, nullptr);
  ::setenv("PKEXEC_UID", uid.c_str(), 1);
  std::vector<gid_t> seen;
  EXPECT_TRUE(RunAsInvokingUser([&] {
    seen.resize(static_cast<size_t>(::getgroups(0, nullptr)));
    ::getgroups(static_cast<int>(seen.size()), seen.data());
    return true;
  }));
  ::unsetenv("PKEXEC_UID");
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(::getgroups(0, nullptr), before);
  EXPECT_EQ(::geteuid(), 0u);
}

// Files the user hands a root program are read only when they are regular
// files of a bounded size: never a FIFO (which would block), never a device
// or a link to one (/dev/zero would never end).
TEST(SmallFile, ReadsOnlyBoundedRegularFiles) {
  char pattern[] = "/tmp/quarnel-small-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  std::ofstream(dir / "plain") << "1";
  std::ofstream(dir / "large") << std::string(5000, 'x');
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_symlink(dir / "plain", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string content, error;
  EXPECT_TRUE(ReadSmallFile((dir / "plain").string(), 4096, &content, &error)) << error;
  EXPECT_EQ(content, "1");
  for (const char* name : {"large", "zero", "link", "fifo", "missing"}) {
    content = "unchanged";
    EXPECT_FALSE(ReadSmallFile((dir / name).string(), 4096, &content, &error)) << name;
    EXPECT_EQ(content, "") << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  EXPECT_FALSE(ReadSmallFile("/dev/zero", 4096, &content, &error));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quarnel
