#include "engine/workspace.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::TempDir;
using testsupport::writeFile;

TEST(Workspace, IsAPrivateFolderUnderTheTempFolder)
{
    const std::string folder = WorkspaceFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.rfind(GetTempFolder(), 0), 0u);
    struct stat info = {};
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(WorkspaceFolder(), folder); // one per process
    EXPECT_EQ(WorkspaceTreePath(), folder + "TempDirChily/");
}

TEST(Workspace, IsRemovedWhenTheProcessExits)
{
    TempDir temp;
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("TMPDIR", temp.path().c_str(), 1);
        const std::string folder = WorkspaceFolder();
        writeFile(WorkspaceFolder() + "temp12swe.odg", "left behind?");
        (void)!write(channel[1], folder.data(), folder.size());
        std::exit(0); // runs the static destructors, as the end of main does
    }
    close(channel[1]);
    char buffer[4096];
    const ssize_t got = read(channel[0], buffer, sizeof buffer);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(got, 0);
    const std::string childFolder(buffer, static_cast<std::size_t>(got));
    EXPECT_EQ(childFolder.rfind(temp.path(), 0), 0u);
    EXPECT_FALSE(platform::PathExists(childFolder));
    EXPECT_TRUE(testsupport::listTree(temp.path()).empty());
}

TEST(Workspace, ResetRemovesTheThreeItemsAndNothingElse)
{
    const std::string folder = WorkspaceFolder();
    CDirectoryManager().CreateAllDirectories(WorkspaceTreePath() + "Pictures");
    writeFile(WorkspaceTreePath() + "Pictures/a.png", "png");
    writeFile(WorkspaceTreePath() + "content.xml", "<x/>");
    ASSERT_TRUE(platform::SetReadOnlyAttributes(WorkspaceTreePath() + "content.xml"));
    writeFile(folder + "temp12temp.zip", "zip");
    writeFile(folder + "temp12swe.odg", "odg");
    writeFile(folder + "unrelated", "stays");

    ResetWorkspace();
    EXPECT_FALSE(platform::PathExists(WorkspaceTreePath()));
    EXPECT_FALSE(platform::PathExists(folder + "temp12temp.zip"));
    EXPECT_FALSE(platform::PathExists(folder + "temp12swe.odg"));
    EXPECT_TRUE(platform::PathExists(folder + "unrelated"));
    platform::DeleteFile(folder + "unrelated");

    ResetWorkspace(); // nothing there: nothing happens
    EXPECT_TRUE(platform::IsDirectory(folder));
}

TEST(DirectoryManager, DeleteTreeRemovesLinksButNeverWhatTheyPointTo)
{
    TempDir dir;
    const std::string outside = dir / "outside/";
    ASSERT_TRUE(platform::CreateDirectory(outside));
    writeFile(outside + "precious.txt", "keep me");
    const std::string tree = dir / "tree/";
    ASSERT_TRUE(CDirectoryManager().CreateAllDirectories(tree + "sub/deeper"));
    writeFile(tree + "sub/deeper/file", "x");
    ASSERT_EQ(symlink(outside.c_str(), (tree + "dirlink").c_str()), 0);
    ASSERT_EQ(symlink((outside + "precious.txt").c_str(), (tree + "sub/filelink").c_str()), 0);
    ASSERT_EQ(chmod((tree + "sub/deeper").c_str(), 0500), 0); // a folder without write access

    EXPECT_TRUE(CDirectoryManager().DeleteDirectoryTree(tree));
    EXPECT_FALSE(platform::PathExists(tree));
    EXPECT_EQ(testsupport::readText(outside + "precious.txt"), "keep me");
}

TEST(DirectoryManager, DeleteTreeGivenALinkLeavesItsTargetAlone)
{
    TempDir dir;
    ASSERT_TRUE(platform::CreateDirectory(dir / "real"));
    writeFile(dir / "real/file", "x");
    ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(CDirectoryManager().DeleteDirectoryTree(dir / "link/"));
    EXPECT_TRUE(platform::PathExists(dir / "real/file"));
}

TEST(DirectoryManager, DeleteTreeOfNothingIsFalse)
{
    TempDir dir;
    EXPECT_FALSE(CDirectoryManager().DeleteDirectoryTree(""));
    EXPECT_FALSE(CDirectoryManager().DeleteDirectoryTree(dir / "missing/"));
}

struct CreateCase
{
    const char* name;
    const char* relative; // below the test folder; "" means the empty path
    bool result;
    const char* expectedDirectory; // must exist afterwards ("" for none)
};

constexpr CreateCase CreateCases[] = {
    {"NestedPath", "a/b/c", true, "a/b/c"},
    {"TrailingSeparator", "a/b/", true, "a/b"},
    {"DoubleSeparator", "a//b", true, "a/b"},
};

class CreateAllDirectories : public testing::TestWithParam<CreateCase>
{};

TEST_P(CreateAllDirectories, CreatesEveryLevel)
{
    TempDir dir;
    const auto& c = GetParam();
    EXPECT_EQ(CDirectoryManager().CreateAllDirectories(dir / c.relative), c.result);
    EXPECT_TRUE(platform::IsDirectory(dir / c.expectedDirectory));
}

INSTANTIATE_TEST_SUITE_P(Cases, CreateAllDirectories, testing::ValuesIn(CreateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirectoryManager, CreateAllDirectoriesRefusesPathsWithoutSeparator)
{
    TempDir dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_FALSE(CDirectoryManager().CreateAllDirectories(""));
    EXPECT_FALSE(CDirectoryManager().CreateAllDirectories("plain"));
    EXPECT_FALSE(platform::PathExists(dir / "plain"));
    ASSERT_EQ(chdir("/"), 0);
}

} // namespace
