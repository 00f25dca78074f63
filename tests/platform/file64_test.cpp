#include "platform/file64.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::TempDir;

class ExclusiveOpen : public testing::Test
{
protected:
    void SetUp() override { testsupport::writeFile(path, "PK\x03\x04 some bytes"); }
    TempDir dir;
    std::string path = dir / "input.odg";
};

TEST_F(ExclusiveOpen, OpensAnUnlockedFileReadOnly)
{
    platform::CFile64 file;
    ASSERT_TRUE(file.OpenExclusiveRead(path));
    EXPECT_EQ(fcntl(file.Descriptor(), F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(file.Size(), 15);
}

TEST_F(ExclusiveOpen, FailsWhileAnotherOpenHoldsAnExclusiveFlock)
{
    const int other = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    platform::CFile64 file;
    EXPECT_FALSE(file.OpenExclusiveRead(path));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.LastError(), std::errc::device_or_resource_busy);
    close(other);
    EXPECT_TRUE(file.OpenExclusiveRead(path));
}

TEST_F(ExclusiveOpen, FailsWhileAnotherOpenHoldsASharedFlock)
{
    const int other = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_SH), 0);
    platform::CFile64 file;
    EXPECT_FALSE(file.OpenExclusiveRead(path));
    close(other);
}

TEST_F(ExclusiveOpen, FailsWhileAnotherProcessHoldsARecordLock)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(path.c_str(), O_RDWR);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 4;
        lock.l_len = 2; // a few bytes are enough to make the file busy
        const char ok = fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        char done;
        (void)!read(release[0], &done, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    platform::CFile64 file;
    EXPECT_FALSE(file.OpenExclusiveRead(path));
    (void)!write(release[1], "x", 1);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(file.OpenExclusiveRead(path));
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

TEST_F(ExclusiveOpen, HoldsSharedLocksThatKeepWritersOut)
{
    platform::CFile64 file;
    ASSERT_TRUE(file.OpenExclusiveRead(path));
    const int writer = open(path.c_str(), O_RDWR);
    EXPECT_NE(flock(writer, LOCK_EX | LOCK_NB), 0);
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(writer, F_OFD_GETLK, &probe), 0);
    EXPECT_EQ(probe.l_type, F_RDLCK);
    file.Close();
    EXPECT_EQ(flock(writer, LOCK_EX | LOCK_NB), 0);
    close(writer);
}

TEST(File64, RefusesWhatIsNotARegularFile)
{
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    platform::CFile64 file;
    EXPECT_FALSE(file.OpenExclusiveRead(dir.path()));
    EXPECT_EQ(file.LastError(), std::errc::is_a_directory);
    EXPECT_FALSE(file.OpenExclusiveRead(fifo)); // must not hang waiting for a writer
    EXPECT_FALSE(file.OpenExclusiveRead(dir / "missing"));
    EXPECT_EQ(file.LastError(), std::errc::no_such_file_or_directory);
}

TEST(File64, CreateNewOnlyNeverReplaces)
{
    TempDir dir;
    const std::string path = dir / "out";
    testsupport::writeFile(path, "keep");
    platform::CFile64 file;
    EXPECT_FALSE(file.Create(path, platform::CreateMode::NewOnly));
    EXPECT_EQ(file.LastError(), std::errc::file_exists);
    EXPECT_EQ(testsupport::readText(path), "keep");
    ASSERT_TRUE(file.Create(path, platform::CreateMode::Truncate));
    EXPECT_EQ(file.Size(), 0);
}

TEST(File64, ReadsAndWritesBeyondFourGiBOffsets)
{
    TempDir dir;
    platform::CFile64 file;
    ASSERT_TRUE(file.Create(dir / "sparse", platform::CreateMode::NewOnly));
    constexpr std::int64_t Far = (std::int64_t{1} << 32) + 10;
    const std::uint8_t bytes[] = {1, 2, 3};
    ASSERT_TRUE(file.WriteAt(Far, bytes));
    EXPECT_EQ(file.Size(), Far + 3);
    std::uint8_t back[8] = {};
    EXPECT_EQ(file.ReadAt(Far, back), 3u); // a short read at the end is not an error
    EXPECT_EQ(back[2], 3);
    ASSERT_TRUE(file.Seek(Far + 1));
    EXPECT_EQ(file.Read(std::span(back, 2)), 2u);
    EXPECT_EQ(back[0], 2);
    EXPECT_FALSE(file.Seek(-1));
}

TEST(File64, MovingTransfersOwnership)
{
    TempDir dir;
    testsupport::writeFile(dir / "f", "x");
    platform::CFile64 first;
    ASSERT_TRUE(first.OpenRead(dir / "f"));
    const int fd = first.Descriptor();
    platform::CFile64 second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(second.Descriptor(), fd);
    second.Close();
    EXPECT_EQ(fcntl(fd, F_GETFD), -1); // closed exactly once, by its owner
}

} // namespace
