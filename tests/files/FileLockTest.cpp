// The lock file that keeps a job to one run, and the volume and path look-ups of the drive guard.
#include "files/FileTestSupport.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

using FileLock = FileServiceTest;

TEST_F(FileLock, OneHolderAtATimeAndTheFileGoesWithTheLastHolder) {
    const fs::path lockFile = dir.path() / "Job.Ubk.lock";
    FileStatus status;
    std::unique_ptr<IFileLock> first = files.TryLock(lockFile, status);
    ASSERT_TRUE(first) << status.message();
    // A second open of the same file is a second holder, as another process would be.
    EXPECT_FALSE(files.TryLock(lockFile, status));
    EXPECT_EQ(status.code(), EWOULDBLOCK);
    first.reset();
    EXPECT_FALSE(fs::exists(lockFile));
    std::unique_ptr<IFileLock> again = files.TryLock(lockFile, status);
    EXPECT_TRUE(again);
}

TEST_F(FileLock, AKilledHolderReleasesItsLock) {
    const fs::path lockFile = dir.path() / "Job.Usy.lock";
    int ready[2];
    int hold[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(hold), 0);
    const pid_t child = fork();
    if (child == 0) {
        FileStatus status;
        auto lock = LinuxFileSystem().TryLock(lockFile, status);
        const char taken = lock ? 'y' : 'n';
        (void)!write(ready[1], &taken, 1);
        char unused;
        (void)!read(hold[0], &unused, 1); // until killed
        _exit(0);
    }
    char taken = 0;
    ASSERT_EQ(read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');
    FileStatus status;
    EXPECT_FALSE(files.TryLock(lockFile, status));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The killed holder left its file behind; the lock on it went with the process.
    EXPECT_TRUE(fs::exists(lockFile));
    EXPECT_TRUE(files.TryLock(lockFile, status)) << status.message();
    for (int fd : {ready[0], ready[1], hold[0], hold[1]}) close(fd);
}

TEST_F(FileLock, ALockFileThatCannotBeMadeSaysWhy) {
    FileStatus status;
    EXPECT_FALSE(files.TryLock(dir.path() / "missing" / "Job.Ubk.lock", status));
    EXPECT_EQ(status.code(), ENOENT);
}

TEST_F(FileLock, VolumesAndRealPaths) {
    fs::create_directories(dir.path() / "real/sub");
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "link");
    EXPECT_EQ(files.RealPath(dir.path() / "link/sub/.."), files.RealPath(dir.path() / "real"));
    EXPECT_EQ(files.RealPath(dir.path() / "nothing"), "");
    EXPECT_EQ(files.VolumeId(dir.path() / "real"), files.VolumeId(dir.path()));
    EXPECT_FALSE(files.VolumeId(dir.path() / "nothing"));
    TmpfsMount mount(dir.path() / "stick", "1m");
    if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is refused here: " << mount.error();
    EXPECT_NE(files.VolumeId(dir.path() / "stick"), files.VolumeId(dir.path()));
}

} // namespace
