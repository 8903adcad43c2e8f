#include "platform/fs_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/fs.h"

namespace platform::fs {

namespace {

struct State {
    FaultAt faultAt = FaultAt::None;
    int faultErr = 0;
    std::int64_t faultAfter = 0;
};

State& st() {
    static State s;
    return s;
}

bool faultHere(FaultAt at) {
    if (st().faultAt != at) return false;
    errno = st().faultErr;
    return true;
}

// Writes all of data, riding over short writes and interrupted calls. An armed Write
// fault lets its byte allowance through and then fails like a full device.
bool writeAll(int fd, const char* data, std::size_t n) {
    const bool fault = st().faultAt == FaultAt::Write;
    const std::size_t limit = fault ? std::min(n, static_cast<std::size_t>(st().faultAfter)) : n;
    std::size_t done = 0;
    while (done < limit) {
        const ssize_t w = ::write(fd, data + done, limit - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return !faultHere(FaultAt::Write);
}

}  // namespace

std::string parentDir(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool replaceAtomic(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool syncDir(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

ReadStatus readFile(const std::string& path, std::string* out, std::int64_t maxBytes) {
    std::string local;
    std::string& buf = out ? *out : local;
    buf.clear();
    // Non-blocking, so that a pipe or device put in a file's place cannot hang the game.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        ::close(fd);
        return ReadStatus::Failed;
    }
    if (sb.st_size > maxBytes) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    // The file may grow while it is read, so the cap is checked again on the bytes read.
    buf.reserve(static_cast<std::size_t>(sb.st_size));
    char chunk[16384];
    ReadStatus result = ReadStatus::Ok;
    for (;;) {
        const ssize_t r = ::read(fd, chunk, sizeof chunk);
        if (r < 0) {
            if (errno == EINTR) continue;
            result = ReadStatus::Failed;
            break;
        }
        if (r == 0) break;
        if (static_cast<std::int64_t>(buf.size()) + r > maxBytes) {
            result = ReadStatus::TooLarge;
            break;
        }
        buf.append(chunk, static_cast<std::size_t>(r));
    }
    ::close(fd);
    if (result != ReadStatus::Ok) {
        buf.clear();
        buf.shrink_to_fit();
    }
    return result;
}

bool writeFileDurable(const std::string& path, const std::string& bytes,
                      const std::string& tmpPath) {
    if (path.empty() || tmpPath.empty() || path == tmpPath) return false;
    if (faultHere(FaultAt::Open)) return false;
    const int fd =
        ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    // The data must be on the device before the name points at it, or a power cut right
    // after the rename could leave an empty file under the real name.
    if (ok && (faultHere(FaultAt::Sync) || ::fsync(fd) != 0)) ok = false;
    const bool closed = ::close(fd) == 0;
    if (ok && (faultHere(FaultAt::Close) || !closed)) ok = false;
    if (ok && (faultHere(FaultAt::Rename) || !replaceAtomic(tmpPath, path))) ok = false;
    if (!ok) {
        const int err = errno;
        ::unlink(tmpPath.c_str());
        errno = err;
        return false;
    }
    // The rename is done; flushing the directory makes it survive a power cut too. When
    // that flush fails the new content is still in place, so the write counts as done.
    syncDir(parentDir(path));
    return true;
}

void injectWriteFault(FaultAt at, int err, std::int64_t afterBytes) {
    st().faultAt = at;
    st().faultErr = err;
    st().faultAfter = afterBytes < 0 ? 0 : afterBytes;
}

}  // namespace platform::fs
