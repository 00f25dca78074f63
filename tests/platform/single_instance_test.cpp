#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string uniqueName()
{
    return "tarvel-test-instance-" + std::to_string(getpid());
}

TEST(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstEnds)
{
    const std::string name = uniqueName();
    {
        platform::SingleInstanceLock first(name);
        ASSERT_TRUE(first.IsHeld());
        platform::SingleInstanceLock second(name);
        EXPECT_FALSE(second.IsHeld());
        EXPECT_TRUE(second.AlreadyRunning());
    }
    platform::SingleInstanceLock again(name);
    EXPECT_TRUE(again.IsHeld());
    unlink(("/tmp/" + name + ".lock").c_str());
}

TEST(SingleInstanceLock, LockFileIsUsableByEveryUser)
{
    const std::string name = uniqueName();
    const mode_t saved = umask(022);
    {
        platform::SingleInstanceLock lock(name);
        ASSERT_TRUE(lock.IsHeld());
        struct stat info = {};
        ASSERT_EQ(stat(("/tmp/" + name + ".lock").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666u);
    }
    umask(saved);
    unlink(("/tmp/" + name + ".lock").c_str());
}

} // namespace
