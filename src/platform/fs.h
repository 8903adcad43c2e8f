// File-system queries and actions on UTF-8 path strings. Nothing here throws or prints:
// every failure shows up in the result. The durable write and the bounded read that the
// save store builds on live in fs_posix.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::fs {

// Size in bytes of the regular file at path; -1 when it is missing, not a regular file
// (a directory, say) or not accessible.
std::int64_t fileSize(const std::string& path);
// Removes the file or empty directory at path; false when that failed or nothing existed.
bool remove(const std::string& path);
// True when path (links followed) is a regular file; an empty path is false.
bool isFile(const std::string& path);
// True when path (links followed) is a directory; an empty path is false.
bool isDir(const std::string& path);
// Creates path and every missing parent; true when path is a directory afterwards (so an
// existing directory is fine and an existing regular file is not). Empty path: false.
bool ensureDir(const std::string& path);
// Names (last component only) of every entry of the directory, without "." and "..",
// sorted ascending by bytes; empty when the directory cannot be opened.
std::vector<std::string> listDir(const std::string& path);
// Renames from onto to, replacing to in one step when both lie on one file system.
bool replaceAtomic(const std::string& from, const std::string& to);
// Flushes the file's contents to the device; false when it cannot be opened or flushed.
bool syncFile(const std::string& path);

}  // namespace platform::fs
