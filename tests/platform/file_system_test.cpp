#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::TempDir;

TEST(FileSystem, CopyFailIfExistsNeverReplaces)
{
    TempDir dir;
    testsupport::writeFile(dir / "from", "new");
    testsupport::writeFile(dir / "to", "old");
    std::error_code error;
    EXPECT_FALSE(platform::CopyFile(dir / "from", dir / "to", true, &error));
    EXPECT_EQ(error, std::errc::file_exists);
    EXPECT_EQ(testsupport::readText(dir / "to"), "old");

    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(platform::CopyFile(dir / "from", dir / "link", true));
    EXPECT_FALSE(platform::PathExists(dir / "elsewhere")); // a dangling link is not followed
}

TEST(FileSystem, CopyReplacingKeepsModeAndModificationTime)
{
    TempDir dir;
    testsupport::writeFile(dir / "from", "contents");
    testsupport::writeFile(dir / "to", "old and longer");
    ASSERT_TRUE(platform::SetFileTimes(dir / "from", {1000, 0}, {2000, 500}));
    ASSERT_TRUE(platform::SetReadOnlyAttributes(dir / "from"));
    ASSERT_TRUE(platform::CopyFile(dir / "from", dir / "to", false));
    EXPECT_EQ(testsupport::readText(dir / "to"), "contents");
    EXPECT_EQ(platform::IsReadOnly(dir / "to"), true);
    EXPECT_EQ(platform::GetFileTimes(dir / "to")->modification, (platform::FileTime{2000, 500}));
}

TEST(FileSystem, CopyOfAMissingSourceCreatesNothing)
{
    TempDir dir;
    EXPECT_FALSE(platform::CopyFile(dir / "missing", dir / "to", true));
    EXPECT_FALSE(platform::PathExists(dir / "to"));
}

TEST(FileSystem, AttributesToggleTheOwnerWriteBit)
{
    TempDir dir;
    testsupport::writeFile(dir / "f", "x");
    ASSERT_TRUE(platform::SetReadOnlyAttributes(dir / "f"));
    EXPECT_EQ(platform::IsReadOnly(dir / "f"), true);
    ASSERT_TRUE(platform::SetNormalAttributes(dir / "f"));
    EXPECT_EQ(platform::IsReadOnly(dir / "f"), false);
    EXPECT_FALSE(platform::IsReadOnly(dir / "missing").has_value());
}

TEST(FileSystem, ExistenceCountsFilesFoldersAndDanglingLinks)
{
    TempDir dir;
    ASSERT_TRUE(platform::CreateDirectory(dir / "sub"));
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(platform::PathExists(dir / "sub"));
    EXPECT_TRUE(platform::PathExists(dir / "dangling"));
    EXPECT_FALSE(platform::PathExists(dir / "none"));
    EXPECT_FALSE(platform::PathExists(""));
    EXPECT_TRUE(platform::IsDirectory(dir / "sub"));
    EXPECT_FALSE(platform::IsRegularFile(dir / "dangling"));
}

TEST(FileSystem, ListsEntriesWithoutFollowingLinks)
{
    TempDir dir;
    testsupport::writeFile(dir / "a.xml", "x");
    ASSERT_TRUE(platform::CreateDirectory(dir / "Pictures"));
    ASSERT_EQ(symlink(dir.path().c_str(), (dir / "loop").c_str()), 0);
    auto entries = platform::ListDirectory(dir.path());
    ASSERT_TRUE(entries.has_value());
    std::sort(entries->begin(), entries->end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[0].name, "Pictures");
    EXPECT_TRUE((*entries)[0].isDirectory);
    EXPECT_EQ((*entries)[2].name, "loop");
    EXPECT_TRUE((*entries)[2].isSymlink);
    EXPECT_FALSE((*entries)[2].isDirectory);
    EXPECT_FALSE(platform::ListDirectory(dir / "missing").has_value());
}

TEST(FileSystem, TempFolderComesFromTmpdirWithATrailingSeparator)
{
    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved ? saved : "";
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(platform::TempFolder(), "/var/tmp/");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(platform::TempFolder().back(), '/');
    if (saved)
        setenv("TMPDIR", restore.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(FileSystem, PathPieces)
{
    EXPECT_EQ(platform::FileNameOf("/in/Plan.odg"), "Plan.odg");
    EXPECT_EQ(platform::FileNameOf("Plan.odg"), "Plan.odg");
    EXPECT_EQ(platform::FolderOf("/in/Plan.odg"), "/in/");
    EXPECT_EQ(platform::FolderOf("Plan.odg"), "");
    EXPECT_EQ(platform::WithTrailingSeparator("/out"), "/out/");
    EXPECT_EQ(platform::WithTrailingSeparator("/out/"), "/out/");
}

} // namespace

namespace {

TEST(FileSystem, ContainsRegularFileLooksDeepButNotThroughLinks)
{
    testsupport::TempDir dir;
    testsupport::TempDir other;
    testsupport::writeFile(other / "file", "x");
    ASSERT_TRUE(platform::CreateDirectory(dir / "a"));
    ASSERT_TRUE(platform::CreateDirectory(dir / "a/b"));
    ASSERT_EQ(symlink(other.path().c_str(), (dir / "a/link").c_str()), 0);
    EXPECT_FALSE(platform::ContainsRegularFile(dir.path()));
    testsupport::writeFile(dir / "a/b/deep", "x");
    EXPECT_TRUE(platform::ContainsRegularFile(dir.path()));
    EXPECT_FALSE(platform::ContainsRegularFile(dir / "missing"));
}

} // namespace
