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

TEST(FileSystem, QueriesOnFilesAndDirectories) {
    const std::string dir = testsupport::freshDir("fs-queries");
    const std::string file = dir + "/f.bin";
    ASSERT_TRUE(writeBytes(file, "12345"));
    ASSERT_EQ(::symlink(file.c_str(), (dir + "/link").c_str()), 0);
    // Path, size, is a file, is a directory. Links are followed.
    const std::tuple<std::string, std::int64_t, bool, bool> cases[] = {
        {file, 5, true, false}, {dir + "/link", 5, true, false}, {dir, -1, false, true},
        {dir + "/none", -1, false, false}, {"", -1, false, false}};
    for (const auto& [path, size, isFile, isDir] : cases) {
        EXPECT_EQ(fs::fileSize(path), size) << path;
        EXPECT_EQ(fs::isFile(path), isFile) << path;
        EXPECT_EQ(fs::isDir(path), isDir) << path;
    }

    EXPECT_TRUE(fs::remove(file));
    EXPECT_FALSE(fs::isFile(file));
    EXPECT_FALSE(fs::remove(file));
    EXPECT_FALSE(fs::remove(""));
}

TEST(FileSystem, EnsureDirAndListDir) {
    const std::string dir = testsupport::freshDir("fs-dirs");
    EXPECT_TRUE(fs::ensureDir(dir + "/a/b/c"));
    EXPECT_TRUE(fs::isDir(dir + "/a/b/c"));
    EXPECT_TRUE(fs::ensureDir(dir + "/a/b/c"));  // already there
    ASSERT_TRUE(writeBytes(dir + "/plain", "x"));
    EXPECT_FALSE(fs::ensureDir(dir + "/plain"));
    EXPECT_FALSE(fs::ensureDir(dir + "/plain/sub"));
    EXPECT_FALSE(fs::ensureDir(""));

    const std::string list = dir + "/list";
    ASSERT_TRUE(fs::ensureDir(list + "/C"));
    ASSERT_TRUE(writeBytes(list + "/b", ""));
    ASSERT_TRUE(writeBytes(list + "/a", ""));
    EXPECT_EQ(fs::listDir(list), (std::vector<std::string>{"C", "a", "b"}));
    EXPECT_TRUE(fs::listDir(dir + "/missing").empty());
    EXPECT_TRUE(fs::listDir(dir + "/plain").empty());
    EXPECT_TRUE(fs::remove(list + "/C"));  // an empty directory
}

TEST(FileSystem, ReplaceSyncAndParent) {
    const std::string dir = testsupport::freshDir("fs-replace");
    ASSERT_TRUE(writeBytes(dir + "/new", "new"));
    ASSERT_TRUE(writeBytes(dir + "/old", "old"));
    EXPECT_TRUE(fs::syncFile(dir + "/new"));
    EXPECT_FALSE(fs::syncFile(dir + "/missing"));
    EXPECT_TRUE(fs::syncDir(dir));
    EXPECT_TRUE(fs::replaceAtomic(dir + "/new", dir + "/old"));
    EXPECT_EQ(readBytes(dir + "/old"), "new");
    EXPECT_FALSE(fs::isFile(dir + "/new"));
    EXPECT_FALSE(fs::replaceAtomic(dir + "/new", dir + "/old"));

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

TEST(FileSystem, DurableWriteReplacesWhole) {
    const std::string dir = testsupport::freshDir("fs-durable");
    const std::string path = dir + "/saves.dat";
    for (const std::string text : {"first", "second, longer", ""}) {
        EXPECT_TRUE(fs::writeFileDurable(path, text, path + ".neu"));
        EXPECT_EQ(readBytes(path), text);
    }
    EXPECT_FALSE(fs::isFile(path + ".neu"));
    EXPECT_EQ(fs::listDir(dir), (std::vector<std::string>{"saves.dat"}));
    // A stale temporary from an earlier crash is simply overwritten.
    ASSERT_TRUE(writeBytes(path + ".neu", std::string(1000, 'z')));
    EXPECT_TRUE(fs::writeFileDurable(path, "third", path + ".neu"));
    EXPECT_EQ(readBytes(path), "third");
    // Nonsense arguments are refused.
    EXPECT_FALSE(fs::writeFileDurable(path, "x", path));
    EXPECT_FALSE(fs::writeFileDurable("", "x", path + ".neu"));
    EXPECT_EQ(readBytes(path), "third");
}

TEST(FileSystem, FailedWritesKeepTheOldFile) {
    const FaultGuard guard;
    const std::string dir = testsupport::freshDir("fs-faults");
    const std::string path = dir + "/saves.dat";
    ASSERT_TRUE(fs::writeFileDurable(path, "the good old file", path + ".neu"));
    const std::string next(64 * 1024, 'n');
    struct Case {
        fs::FaultAt at;
        int err;
        std::int64_t after;
    };
    for (const Case c : {Case{fs::FaultAt::Open, EACCES, 0}, Case{fs::FaultAt::Write, ENOSPC, 0},
                         Case{fs::FaultAt::Write, ENOSPC, 4096}, Case{fs::FaultAt::Write, EIO, 1},
                         Case{fs::FaultAt::Sync, EIO, 0}, Case{fs::FaultAt::Close, EDQUOT, 0},
                         Case{fs::FaultAt::Rename, EROFS, 0}}) {
        SCOPED_TRACE(static_cast<int>(c.at));
        fs::injectWriteFault(c.at, c.err, c.after);
        errno = 0;
        EXPECT_FALSE(fs::writeFileDurable(path, next, path + ".neu"));
        EXPECT_EQ(errno, c.err);
        EXPECT_EQ(readBytes(path), "the good old file");
        EXPECT_FALSE(fs::isFile(path + ".neu"));  // no torn temporary left behind
    }
    fs::injectWriteFault(fs::FaultAt::None, 0);
    EXPECT_TRUE(fs::writeFileDurable(path, next, path + ".neu"));
    EXPECT_EQ(readBytes(path), next);

    // A real failure: the directory is gone.
    EXPECT_FALSE(fs::writeFileDurable(dir + "/gone/saves.dat", "x", dir + "/gone/saves.dat.neu"));
}
