// The POSIX end of the file layer: a bounded whole-file read and a durable replace that
// never leaves the destination half-written, plus a hook that lets tests make the device
// fail at any step of the replace.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

enum class ReadStatus : std::int32_t {
    Ok = 0,        // the whole file is in the output string
    Missing = 1,   // nothing exists under the name
    TooLarge = 2,  // a regular file longer than the cap; nothing was kept
    Failed = 3,    // it exists but could not be read (no access, not a regular file, I/O error)
};

// Reads the regular file at path whole into *out (emptied first) when it holds at most
// maxBytes bytes. Never blocks on special files and never holds more than maxBytes + 1
// bytes in memory.
ReadStatus readFile(const std::string& path, std::string* out, std::int64_t maxBytes);

// Replaces the file at path by bytes so that, whatever happens and whenever the process
// dies, path holds either its old content or the whole new one: the bytes go to tmpPath
// (which must lie in the same directory), are flushed to the device, and tmpPath is then
// renamed over path, and the directory is flushed. True once the rename is done. On
// failure path is untouched and tmpPath is removed.
bool writeFileDurable(const std::string& path, const std::string& bytes,
                      const std::string& tmpPath);

// Flushes a directory's entries (a finished rename, say) to the device.
bool syncDir(const std::string& dir);

// The directory part of path: everything before the last "/", "/" for a file in the root,
// "." for a bare name.
std::string parentDir(const std::string& path);

// Steps of writeFileDurable at which a test can make the device fail.
enum class FaultAt : std::int32_t { None = 0, Open, Write, Sync, Close, Rename };

// Makes every later writeFileDurable fail at step `at` with errno err, as a failing device
// would; a Write fault first lets afterBytes bytes through, so a partial file is written.
// FaultAt::None disarms. For tests only; the game never arms it.
void injectWriteFault(FaultAt at, int err, std::int64_t afterBytes = 0);

}  // namespace platform::fs
