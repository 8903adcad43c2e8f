// The store and its file layer against real faults: a writer killed at random moments, a
// read-only directory, a file-size limit and injected failures; after each, a whole document
// (old or new) loads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/grid.h"
#include "core/storage.h"
#include "platform/fs.h"
#include "platform/fs_posix.h"
#include "support/store_files.h"
#include "support/tmpdir.h"

using testsupport::gameFor;
using testsupport::isGameFor;
using testsupport::openCapturing;
using testsupport::readBytes;
using testsupport::writeBytes;
namespace fs = platform::fs;

namespace {

// Fills the store in dir with progress worth losing.
void fillProgress(const std::string& dir, int solves) {
    store::openAt(dir);
    store::advanceUnlockedLevel(5);
    for (int i = 0; i < solves; ++i)
        store::recordSolve({i, 10 + i, 100 * i, 1000 * i, 1700000000000 + i, i % 4});
    store::recordBest(2, {3, 12, 34000});
    store::recordArcadeHigh({4000, 60, 90000, 1700000000000});
    store::settings().windowW = 1000;
    store::saveSettings();
    store::saveGame(gameFor(3));
}

void expectProgressKept(const std::string& dir, int solves) {
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(
        std::tuple(store::unlockedLevel(), store::solves().size(), store::arcadeHighs().size(),
                   store::settings().windowW, store::savedGame().score),
        std::tuple(5, static_cast<std::size_t>(solves), 1u, 1000, 3));
    EXPECT_EQ(store::levelBests().at(2).moves, 12);
    EXPECT_TRUE(isGameFor(store::savedGame()));
}

// Every mutating call of the store once, each changing what is on disk.
void mutateEverything() {
    store::advanceUnlockedLevel(40);
    store::recordBest(2, {3, 5, 1000});
    store::recordSolve({77, 1, 1, 1, 0, 3});
    store::recordArcadeHigh({99999, 1, 1, 1});
    store::saveGame(gameFor(200));
    store::clearGame();
    store::saveGame(gameFor(201));
    store::settings().windowW = 2000;
    store::saveSettings();
    store::resetProgress();
}

// Both files, whole, and no half-written replacement next to them.
std::string filesIn(const std::string& dir) {
    std::string all;
    for (const char* f : {"/saves.dat", "/settings.dat", "/saves.dat.neu", "/settings.dat.neu"})
        all += std::to_string(fs::fileSize(dir + f)) + ":" + readBytes(dir + f);
    return all;
}

// Keeps saving until killed; one byte down the pipe after each pair of writes.
[[noreturn]] void writeForever(const std::string& dir, int reportFd) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    store::openAt(dir);
    int n = store::savedGame().score;
    for (;;) {
        ++n;
        store::saveGame(gameFor(n));
        store::settings().windowW = 1000 + n;
        store::saveSettings();
        const char done = 1;
        if (::write(reportFd, &done, 1) != 1) ::_exit(2);
    }
}

}  // namespace

TEST(StoreFaults, KilledWriterNeverLosesProgress) {
    const std::string dir = testsupport::freshDir("faults-sigkill");
    // Two hundred solves make each write tens of kilobytes: kills land inside writes too.
    fillProgress(dir, store::kMaxSolves);
    core::Mulberry32 rnd(20261206);
    int last = store::savedGame().score;
    for (int k = 0; k < 200; ++k) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(report[0]);
            writeForever(dir, report[1]);
        }
        ::close(report[1]);
        // Zero to two whole saves, then a kill at a random moment of the ones that follow.
        char done = 0;
        for (int wait = rnd.nextInt(3); wait > 0 && ::read(report[0], &done, 1) == 1; --wait) {
        }
        ::usleep(static_cast<useconds_t>(rnd.nextInt(15000)));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        ::close(report[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "writer died early";
        SCOPED_TRACE("after kill " + std::to_string(k));
        ASSERT_EQ(openCapturing(dir), "");
        ASSERT_TRUE(isGameFor(store::savedGame()));
        ASSERT_GE(store::savedGame().score, last);
        last = store::savedGame().score;
        ASSERT_EQ(std::pair(store::solves().size(), store::unlockedLevel()),
                  std::pair(static_cast<std::size_t>(store::kMaxSolves), 5));
        ASSERT_GE(store::settings().windowW, 1000);
        ASSERT_EQ(fs::listDir(dir),
                  (std::vector<std::string>{"saves.dat", "settings.dat"}));
    }
    EXPECT_GT(last, 3) << "the writer never got a save through";
}

TEST(StoreFaults, InjectedWriteFailuresKeepTheOldFiles) {
    const std::string dir = testsupport::freshDir("faults-injected");
    fillProgress(dir, 20);
    const std::string before = filesIn(dir);
    using fs::FaultAt;
    for (const FaultAt at :
         {FaultAt::Open, FaultAt::Write, FaultAt::Sync, FaultAt::Close, FaultAt::Rename}) {
        SCOPED_TRACE(static_cast<int>(at));
        store::openAt(dir);
        fs::injectWriteFault(at, at == FaultAt::Write ? ENOSPC : EIO, 100);
        mutateEverything();
        fs::injectWriteFault(FaultAt::None, 0);
        EXPECT_TRUE(filesIn(dir) == before);
        // The game went on in memory: the changes are there and the next write keeps them.
        EXPECT_EQ(std::pair(store::unlockedLevel(), store::settings().windowW), std::pair(1, 2000));
        expectProgressKept(dir, 20);
    }
    store::openAt(dir);
    mutateEverything();
    store::openAt(dir);
    EXPECT_EQ(std::pair(store::unlockedLevel(), store::settings().windowW), std::pair(1, 2000));
}

TEST(StoreFaults, ReadOnlyDirectoryKeepsTheOldFiles) {
    const std::string dir = testsupport::freshDir("faults-readonly") + "/data";
    ASSERT_TRUE(fs::ensureDir(dir));
    const bool mounted =
        ::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") == 0;
    if (!mounted && ::geteuid() == 0) GTEST_SKIP() << "root without the right to mount a tmpfs";
    fillProgress(dir, 20);
    ASSERT_TRUE(testsupport::writeBytes(dir + "/settings.dat", "not sealed at all"));
    const std::string before = filesIn(dir);
    if (mounted) {
        ASSERT_EQ(::mount("tmpfs", dir.c_str(), "tmpfs",
                          MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, "size=1m"),
                  0);
    } else {
        ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);  // holds back a user other than root
    }
    // The unreadable settings file cannot be moved aside; that is said, not hidden.
    EXPECT_EQ(openCapturing(dir), "[storage] " + dir + "/settings.dat war nicht lesbar\n");
    mutateEverything();
    EXPECT_TRUE(filesIn(dir) == before);
    openCapturing(dir);
    EXPECT_EQ(std::pair(store::unlockedLevel(), store::savedGame().score), std::pair(5, 3));
    EXPECT_TRUE(isGameFor(store::savedGame()));
    mounted ? ::umount2(dir.c_str(), MNT_DETACH) : ::chmod(dir.c_str(), 0755);
}

TEST(StoreFaults, FileSizeLimitKeepsTheOldFiles) {
    // The kernel stops a file growing past the limit, like a full quota, partway through.
    const std::string dir = testsupport::freshDir("faults-fsize");
    fillProgress(dir, 60);
    const std::string before = filesIn(dir);
    ASSERT_GT(fs::fileSize(dir + "/saves.dat"), 2048);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{64, 64};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(3);
        store::openAt(dir);
        mutateEverything();  // the store still works in memory
        ::_exit(store::unlockedLevel() == 1 && store::settings().windowW == 2000 ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(filesIn(dir) == before);
    expectProgressKept(dir, 60);
}

TEST(FileSystem, DurableWriteReplacesWholeOrNotAtAll) {
    const std::string dir = testsupport::freshDir("fs-durable");
    const std::string path = dir + "/saves.dat";
    ASSERT_TRUE(writeBytes(path + ".neu", std::string(1000, 'z')));  // stale: overwritten
    for (const std::string text : {"second, longer", "", "the good old file"}) {
        EXPECT_TRUE(fs::writeFileDurable(path, text, path + ".neu"));
        EXPECT_EQ(readBytes(path), text);
    }
    EXPECT_EQ(fs::listDir(dir), (std::vector<std::string>{"saves.dat"}));
    EXPECT_FALSE(fs::writeFileDurable(path, "x", path));  // nonsense arguments
    EXPECT_FALSE(fs::writeFileDurable("", "x", path + ".neu"));
    EXPECT_FALSE(fs::writeFileDurable(dir + "/gone/saves.dat", "x", dir + "/gone/saves.dat.neu"));

    // Every failure the device can throw keeps the old file, errno told, nothing torn left.
    const std::string next(64 * 1024, 'n');
    using F = fs::FaultAt;
    for (const auto& [at, err, after] : {std::tuple{F::Open, EACCES, 0}, {F::Write, ENOSPC, 0},
                                         {F::Write, ENOSPC, 4096}, {F::Write, EIO, 1},
                                         {F::Sync, EIO, 0},
                                         {F::Close, EDQUOT, 0}, {F::Rename, EROFS, 0}}) {
        SCOPED_TRACE(static_cast<int>(at));
        fs::injectWriteFault(at, err, after);
        errno = 0;
        EXPECT_FALSE(fs::writeFileDurable(path, next, path + ".neu"));
        EXPECT_EQ(errno, err);
        EXPECT_EQ(readBytes(path), "the good old file");
        EXPECT_FALSE(fs::isFile(path + ".neu"));
    }
    fs::injectWriteFault(F::None, 0);  // (an ASSERT above would leave the fault armed)
    EXPECT_TRUE(fs::writeFileDurable(path, next, path + ".neu"));
    EXPECT_EQ(readBytes(path), next);
}
