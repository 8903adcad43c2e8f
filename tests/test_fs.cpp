// The file layer: queries, directory creation and listing, the bounded read, and the
// durable replace under every failure the device can throw at it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "platform/fs.h"
#include "platform/fs_posix.h"
#include "support/tmpdir.h"

namespace fs = platform::fs;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

// Disarms the fault hook whatever way a test leaves.
struct FaultGuard {
    ~FaultGuard() { fs::injectWriteFault(fs::FaultAt::None, 0); }
};

}  // namespace

TEST(FileSystem, QueriesDirectoriesAndReplace) {
    const std::string dir = testsupport::freshDir("fs-queries");
    const std::string file = dir + "/f.bin";
    ASSERT_TRUE(writeBytes(file, "12345"));
    ASSERT_EQ(::symlink(file.c_str(), (dir + "/link").c_str()), 0);
    // Path, size, is a file, is a directory. Links are followed.
    const std::tuple<std::string, std::int64_t, bool, bool> cases[] = {
        {file, 5, true, false}, {dir + "/link", 5, true, false}, {dir, -1, false, true},
        {dir + "/none", -1, false, false}, {"", -1, false, false}};
    for (const auto& [path, size, isFile, isDir] : cases)
        EXPECT_EQ(std::tuple(fs::fileSize(path), fs::isFile(path), fs::isDir(path)),
                  std::tuple(size, isFile, isDir))
            << path;
    EXPECT_TRUE(fs::ensureDir(dir + "/a/b/c"));
    EXPECT_TRUE(fs::ensureDir(dir + "/a/b/c"));  // already there
    EXPECT_FALSE(fs::ensureDir(file + "/sub"));
    EXPECT_EQ(fs::listDir(dir), (std::vector<std::string>{"a", "f.bin", "link"}));
    EXPECT_TRUE(fs::listDir(file).empty());
    EXPECT_TRUE(fs::replaceAtomic(file, dir + "/moved"));
    EXPECT_EQ(readBytes(dir + "/moved"), "12345");
    EXPECT_FALSE(fs::remove(file));
    for (const auto& [path, parent] :
         {std::pair{"/a/b/c.dat", "/a/b"}, {"/c.dat", "/"}, {"c.dat", "."}})
        EXPECT_EQ(fs::parentDir(path), parent);
}

TEST(FileSystem, BoundedRead) {
    const std::string dir = testsupport::freshDir("fs-read");
    std::string out = "stale";
    EXPECT_EQ(fs::readFile(dir + "/none", &out, 100), fs::ReadStatus::Missing);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fs::readFile(dir + "/none/deeper", &out, 100), fs::ReadStatus::Missing);
    ASSERT_TRUE(writeBytes(dir + "/f", std::string(100, 'x')));
    EXPECT_EQ(fs::readFile(dir + "/f", &out, 100), fs::ReadStatus::Ok);
    EXPECT_EQ(out, std::string(100, 'x'));
    EXPECT_EQ(fs::readFile(dir + "/f", &out, 99), fs::ReadStatus::TooLarge);
    EXPECT_TRUE(out.empty());
    // A directory or a pipe in a file's place is refused without blocking.
    EXPECT_EQ(fs::readFile(dir, &out, 100), fs::ReadStatus::Failed);
    ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
    EXPECT_EQ(fs::readFile(dir + "/pipe", &out, 100), fs::ReadStatus::Failed);
    // A sparse file of a terabyte is refused from its size alone.
    ASSERT_EQ(::truncate((dir + "/f").c_str(), 1ll << 40), 0);
    EXPECT_EQ(fs::readFile(dir + "/f", &out, 1 << 20), fs::ReadStatus::TooLarge);
}

TEST(FileSystem, DurableWriteReplacesWholeOrNotAtAll) {
    const FaultGuard guard;
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
    fs::injectWriteFault(F::None, 0);
    EXPECT_TRUE(fs::writeFileDurable(path, next, path + ".neu"));
    EXPECT_EQ(readBytes(path), next);
}
