// Entry names never lead a salvaged file outside the workspace tree: not by an absolute name, a
// drive prefix, a ".." component, a symbolic link planted in the tree, nor a path too long.
#include "platform/file_system.h"
#include "salvage/entry_path.h"
#include "salvage_fixture.h"

#include <climits>
#include <unistd.h>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

struct ConfineCase
{
    const char* name;
    const char* entryName;
    const char* relative; // nullptr: nothing to write
};

constexpr ConfineCase Confined[] = {
    {"PlainPath", "Pictures/a.png", "Pictures/a.png"},
    {"BackslashesSeparate", "Pictures\\a.png", "Pictures/a.png"},
    {"AbsoluteName", "/etc/passwd", "etc/passwd"},
    {"ParentComponents", "../../escape.txt", "escape.txt"},
    {"ParentInTheMiddle", "a/../../b.txt", "a/b.txt"},
    {"BackslashParents", "..\\..\\x.txt", "x.txt"},
    {"DriveAndBackslashes", "C:\\Windows\\win.ini", "Windows/win.ini"},
    {"DriveRelative", "c:x.txt", "x.txt"},
    {"DotsAndDoubleSeparators", "./a//./b.txt", "a/b.txt"},
    {"DirectoryEntry", "Pictures/", "Pictures/"},
    {"EndsInParent", "a/b/..", "a/b/"},
    {"OnlyParents", "../..", nullptr},
    {"OnlySeparator", "/", nullptr},
    {"Empty", "", nullptr},
    {"OnlyDrive", "C:", nullptr},
};

class ConfineEntryPath : public testing::TestWithParam<ConfineCase>
{};

TEST_P(ConfineEntryPath, KeepsEveryComponentBelowTheWorkspace)
{
    const auto& c = GetParam();
    const auto path = salvage::confineEntryPath(c.entryName, 20);
    if (!c.relative) {
        EXPECT_FALSE(path.has_value());
        return;
    }
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->Relative(), c.relative);
}

INSTANTIATE_TEST_SUITE_P(Names, ConfineEntryPath, testing::ValuesIn(Confined),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfineEntryPathLimits, CutsLongComponentsAndRefusesPathsPastPathMax)
{
    const std::string longComponent(260, 'n');
    const auto cut = salvage::confineEntryPath("d/" + longComponent, 20);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->fileName, std::string(NAME_MAX, 'n'));

    EXPECT_TRUE(salvage::confineEntryPath("abc", PATH_MAX - 4).has_value());
    EXPECT_FALSE(salvage::confineEntryPath("abcd", PATH_MAX - 4).has_value());
}

struct HostileCase
{
    const char* name;
    std::uint16_t method;
};

constexpr HostileCase HostileMethods[] = {{"Stored", 0}, {"Deflated", 8}};

class HostileNames : public SalvageTest, public testing::WithParamInterface<HostileCase>
{};

TEST_P(HostileNames, LandInsideTheTree)
{
    const std::uint16_t method = GetParam().method;
    ZipBuilder builder;
    for (const char* name : {"../escape1.txt", "../../escape2.txt", "/abs.txt", "C:\\drive.txt",
                             "..\\..\\back.txt", "a/../../../up.txt"})
        builder.add({.name = name, .data = salvagetest::textBytes(name), .method = method});
    salvage(builder.build().bytes);

    EXPECT_EQ(files(), (std::vector<std::string>{"a/up.txt", "abs.txt", "back.txt", "drive.txt",
                                                 "escape1.txt", "escape2.txt"}));
    EXPECT_EQ(file("escape2.txt"), salvagetest::textBytes("../../escape2.txt"));
    EXPECT_EQ(outsideTree(), std::vector<std::string>{"input.odg"});
}

TEST_P(HostileNames, NeverFollowALinkInTheTree)
{
    const std::uint16_t method = GetParam().method;
    ASSERT_TRUE(platform::CreateDirectory(dir / "ws"));
    ASSERT_TRUE(platform::CreateDirectory(tree));
    ASSERT_TRUE(platform::CreateDirectory(dir / "outside"));
    testsupport::writeFile(dir / "outside/victim.txt", "keep me");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (tree + "linkdir").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside/victim.txt").c_str(), (tree + "victim.txt").c_str()), 0);

    salvage(
        ZipBuilder()
            .add({.name = "linkdir/new.txt", .data = salvagetest::textBytes("x"), .method = method})
            .add({.name = "victim.txt", .data = salvagetest::textBytes("x"), .method = method})
            .add({.name = "ok.txt", .data = salvagetest::textBytes("fine"), .method = method})
            .build()
            .bytes);

    EXPECT_EQ(testsupport::readText(dir / "outside/victim.txt"), "keep me");
    EXPECT_FALSE(platform::PathExists(dir / "outside/new.txt"));
    EXPECT_EQ(file("ok.txt"), salvagetest::textBytes("fine"));
}

INSTANTIATE_TEST_SUITE_P(Methods, HostileNames, testing::ValuesIn(HostileMethods),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
