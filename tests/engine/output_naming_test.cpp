#include "engine/output_naming.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct NamingCase
{
    const char* name;
    const char* folder;             // below the test folder, "" or ending with '/'
    const char* candidate;          // file name proposed
    std::vector<const char*> taken; // names that exist already (a trailing '/' makes a folder)
    const char* expected;           // file name chosen
};

const NamingCase NamingCases[] = {
    {"FreeNameKeepsItsCase", "", "REC_Plan.odg", {}, "REC_Plan.odg"},
    {"TakenNameIsNumberedInCapitals", "", "REC_Plan.odg", {"REC_Plan.odg"}, "REC_PLAN(1).ODG"},
    {"NextNumberWhenTheFirstIsTaken",
     "",
     "REC_Plan.odg",
     {"REC_Plan.odg", "REC_PLAN(1).ODG"},
     "REC_PLAN(2).ODG"},
    {"FirstFreeNumberWins",
     "",
     "REC_Plan.odg",
     {"REC_Plan.odg", "REC_PLAN(1).ODG", "REC_PLAN(3).ODG"},
     "REC_PLAN(2).ODG"},
    {"EveryOdgIsNumbered", "", "REC_Plan.odg.odg", {"REC_Plan.odg.odg"}, "REC_PLAN(1).ODG(1).ODG"},
    {"AFolderOfThatNameCounts", "", "REC_Plan.odg", {"REC_Plan.odg/"}, "REC_PLAN(1).ODG"},
    {"FolderPartIsNeverNumbered", "Work.odg/", "REC_Plan.odg", {"REC_Plan.odg"}, "REC_PLAN(1).ODG"},
    {"FolderKeepsItsCase", "lower case/", "REC_Plan.odg", {"REC_Plan.odg"}, "REC_PLAN(1).ODG"},
    {"OtherExtensionIsNumberedBeforeIt", "", "REC_Plan.zip", {"REC_Plan.zip"}, "REC_PLAN(1).ZIP"},
    {"LastExtensionOnly",
     "",
     "REC_Plan.tar.gz",
     {"REC_Plan.tar.gz", "REC_PLAN.TAR(1).GZ"},
     "REC_PLAN.TAR(2).GZ"},
    {"NoExtensionIsNumberedAtTheEnd", "", "REC_Plan", {"REC_Plan"}, "REC_PLAN(1)"},
    {"OnlyAsciiLettersAreUpperCased",
     "",
     "REC_pl\xC3\xA4n.odg",
     {"REC_pl\xC3\xA4n.odg"},
     "REC_PL\xC3\xA4N(1).ODG"},
};

class MakeUniqueOutputName : public testing::TestWithParam<NamingCase>
{};

TEST_P(MakeUniqueOutputName, ChoosesAFreeName)
{
    const auto& c = GetParam();
    testsupport::TempDir dir;
    const std::string folder = dir / c.folder;
    if (!platform::IsDirectory(folder))
        ASSERT_TRUE(platform::CreateDirectory(folder));
    for (const std::string name : c.taken) {
        if (name.back() == '/')
            ASSERT_TRUE(platform::CreateDirectory(folder + name));
        else
            testsupport::writeFile(folder + name, "taken");
    }
    EXPECT_EQ(::MakeUniqueOutputName(folder + c.candidate), folder + c.expected);
    EXPECT_EQ(testsupport::listTree(dir.path()).size(),
              c.taken.size() - static_cast<std::size_t>(
                                   std::count_if(c.taken.begin(), c.taken.end(), [](auto n) {
                                       return std::string(n).back() == '/';
                                   }))); // creates nothing
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeUniqueOutputName, testing::ValuesIn(NamingCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
