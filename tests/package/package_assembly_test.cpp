// Package assembly: what lands in the container, in which order, and what never does.
#include "package/package_assembly.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/zip_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

class PackageAssembly : public testing::Test
{
protected:
    // Writes a file below the workspace root, making its directories.
    void put(const std::string& name, const Bytes& bytes)
    {
        const std::string path = root + name;
        (void)platform::CreateDirectory(root);
        for (std::size_t at = name.find('/'); at != std::string::npos; at = name.find('/', at + 1))
            (void)platform::CreateDirectory(root + name.substr(0, at));
        testsupport::writeFile(path, bytes);
    }

    testsupport::DecodedArchive packed()
    {
        EXPECT_TRUE(AssembleDocumentPackage(root, container));
        m_bytes = testsupport::readFile(container);
        return testsupport::decodeArchive(m_bytes);
    }

    static std::vector<std::string> namesOf(const testsupport::DecodedArchive& archive)
    {
        std::vector<std::string> names;
        for (const auto& c : archive.central)
            names.push_back(c.name);
        return names;
    }

    TempDir dir;
    std::string root = dir / "TempDirChily/";
    std::string container = dir / "temp12swe.odg";
    Bytes m_bytes;
};

TEST_F(PackageAssembly, EmptyOrMissingWorkspaceGivesTheEndRecordAlone)
{
    EXPECT_TRUE(packed().central.empty());
    EXPECT_EQ(m_bytes.size(), 22u);
    ASSERT_TRUE(platform::CreateDirectory(root));
    ASSERT_TRUE(platform::CreateDirectory(root + "Configurations2"));
    EXPECT_TRUE(packed().central.empty());
    EXPECT_EQ(m_bytes.size(), 22u);
}

TEST_F(PackageAssembly, PacksEveryFileInCaseInsensitiveOrderDepthFirst)
{
    // Listed here out of order; the directory listing's own order is arbitrary too.
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"Thumbnails/thumbnail.png", testsupport::noise(3000, 1)},
        {"mimetype", testsupport::bytesOf("application/vnd.oasis.opendocument.graphics")},
        {"_under.xml", testsupport::bytesOf("<u/>")},
        {"Pictures/sub/a.png", testsupport::noise(100, 2)},
        {"Pictures/b.png", testsupport::noise(70000, 3)},
        {"Pictures/A.png", testsupport::noise(10, 4)},
        {"styles.xml", testsupport::bytesOf(std::string(40000, 's'))},
        {"content.xml", testsupport::bytesOf("<office:document-content/>")},
        {"META-INF/manifest.xml", testsupport::bytesOf("<manifest:manifest/>")},
        {"meta.xml", testsupport::bytesOf("<meta/>")},
        {"settings.xml", {}},
        {"Zeta.xml", testsupport::bytesOf("z")},
        {"alpha.xml", testsupport::bytesOf("a")},
        {"Readme", testsupport::bytesOf("mixed")},
        {"README", testsupport::bytesOf("upper")},
    };
    for (const auto& [name, bytes] : files)
        put(name, bytes);
    ASSERT_TRUE(platform::CreateDirectory(root + "Configurations2"));

    const auto archive = packed();
    // The media type comes first. Then letters compare as capitals, so "_" (after "Z") sorts
    // last and content.xml comes before META-INF; names equal but for case fall back to their
    // bytes. Empty folders leave nothing.
    const std::vector<std::string> expected = {
        "mimetype",       "alpha.xml",      "content.xml",        "META-INF/manifest.xml",
        "meta.xml",       "Pictures/A.png", "Pictures/b.png",     "Pictures/sub/a.png",
        "README",         "Readme",         "settings.xml",       "styles.xml",
        "Thumbnails/thumbnail.png",         "Zeta.xml",           "_under.xml"};
    ASSERT_EQ(namesOf(archive), expected);

    for (std::size_t i = 0; i < archive.central.size(); ++i) {
        const auto& name = archive.central[i].name;
        const auto it = std::find_if(files.begin(), files.end(),
                                     [&](const auto& file) { return file.first == name; });
        ASSERT_NE(it, files.end());
        EXPECT_EQ(testsupport::entryData(archive, m_bytes, i), it->second) << name;
        // Only the media type is stored: nothing else has an archive suffix.
        EXPECT_EQ(archive.central[i].method, name == "mimetype" ? 0 : 8) << name;
    }
    if (!testsupport::havePython())
        GTEST_SKIP() << "python3 is missing: no independent extraction";
    ASSERT_EQ(testsupport::pythonExtract(container, dir / "extracted/"), 0);
    EXPECT_EQ(testsupport::listTree(dir / "extracted/"), testsupport::listTree(root));
}

TEST_F(PackageAssembly, SameWorkspaceGivesTheSameEntriesWhateverTheCreationOrder)
{
    for (const char* name : {"b.xml", "C.xml", "a.xml", "D/x", "d.xml"})
        put(name, testsupport::bytesOf(name));
    const auto first = namesOf(packed());
    ASSERT_TRUE(platform::DeleteFile(container));
    std::filesystem::remove_all(root);
    for (const char* name : {"d.xml", "D/x", "a.xml", "C.xml", "b.xml"})
        put(name, testsupport::bytesOf(name));
    EXPECT_EQ(namesOf(packed()), first);
    EXPECT_EQ(first, (std::vector<std::string>{"a.xml", "b.xml", "C.xml", "D/x", "d.xml"}));
}

TEST_F(PackageAssembly, RootWithoutItsSeparatorStillGivesRelativeNames)
{
    put("Pictures/a.png", testsupport::noise(10, 7));
    root.pop_back();
    EXPECT_EQ(namesOf(packed()), std::vector<std::string>{"Pictures/a.png"});
}

TEST_F(PackageAssembly, NeverFollowsNorPacksLinks)
{
    put("content.xml", testsupport::bytesOf("<c/>"));
    const std::string outside = dir / "outside/";
    ASSERT_TRUE(platform::CreateDirectory(outside));
    testsupport::writeFile(outside + "secret.txt", "secret");
    ASSERT_EQ(::symlink((outside + "secret.txt").c_str(), (root + "linked.xml").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (root + "Pictures").c_str()), 0);

    EXPECT_EQ(namesOf(packed()), std::vector<std::string>{"content.xml"});
    ASSERT_TRUE(platform::DeleteFile(root + "content.xml"));
    EXPECT_FALSE(HasFilesToPack(root)); // links alone are nothing to pack
}

TEST_F(PackageAssembly, AFileThatCannotBeOpenedEndsTheWalk)
{
    put("a.xml", testsupport::bytesOf("a"));
    put("Pictures/b.png", testsupport::noise(100, 5));
    put("z.xml", testsupport::bytesOf("z"));
    // A named pipe cannot be read as a file: the walk stops there, in the Pictures folder.
    ASSERT_EQ(::mkfifo((root + "Pictures/c.fifo").c_str(), 0600), 0);

    EXPECT_EQ(namesOf(packed()), (std::vector<std::string>{"a.xml", "Pictures/b.png"}));
}

TEST_F(PackageAssembly, NoContainerWhenItCannotBeCreated)
{
    put("a.xml", testsupport::bytesOf("a"));
    container = dir / "missing/temp12swe.odg";
    EXPECT_TRUE(AssembleDocumentPackage(root, container));
    EXPECT_FALSE(platform::PathExists(container));
}

TEST_F(PackageAssembly, NoContainerAfterAWriteFailure)
{
    put("a.xml", testsupport::bytesOf("a"));
    put("Pictures/big.png", testsupport::noise(400000, 6));
    put("z.xml", testsupport::bytesOf("z"));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 200000; // as if the disk filled up halfway through the picture
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool result = AssembleDocumentPackage(root, container);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(result);
    EXPECT_FALSE(platform::PathExists(container));
}

struct TreeCase
{
    const char* label;
    std::array<const char*, 3> files; // made with their folders; "x/" is a folder alone
    bool expected;
};

constexpr TreeCase TreeCases[] = {
    {"MissingRoot", {}, false},
    {"EmptyRoot", {"./"}, false},
    {"OnlyEmptyFolders", {"Configurations2/", "Configurations2/toolbar/", "Pictures/"}, false},
    {"OneFile", {"mimetype"}, true},
    {"OneNestedFile", {"Configurations2/", "Pictures/sub/a.png"}, true},
};

void PrintTo(const TreeCase& c, std::ostream* out)
{
    *out << c.label;
}

class FilesToPack : public testing::TestWithParam<TreeCase>
{};

TEST_P(FilesToPack, TellsWhetherPackingWouldAddAnything)
{
    TempDir dir;
    const std::string root = dir / "tree/";
    for (const char* name : GetParam().files) {
        if (!name)
            continue;
        const std::string path = root + name;
        std::filesystem::create_directories(platform::FolderOf(path));
        if (path.back() != '/')
            testsupport::writeFile(path, "x");
    }
    EXPECT_EQ(HasFilesToPack(root), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Trees, FilesToPack, testing::ValuesIn(TreeCases),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
