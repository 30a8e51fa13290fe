// Files written aside and named when complete: unnamed (O_TMPFILE) where the filesystem
// allows, else under a short hidden name that a later writer sweeps if its writer died.
#include "files/SideFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "files/OutputPath.h"

namespace outpath {

namespace {

const char kPrefix[] = ".veltora-";
const char kSuffix[] = ".part";

// Which process space a pid belongs to: the boot and the pid namespace. A hidden file of
// another machine (a shared network folder) or another container is never taken for one
// whose writer is known to be gone. Empty when it cannot be told, and then nothing is swept.
const std::string& ProcessSpace()
{
    static const std::string space = [] {
        std::string boot;
        std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), boot);
        char ns[64] = {};
        const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        if (boot.empty() || n <= 0) {
            return std::string();
        }
        std::uint64_t h = 14695981039346656037ull; // FNV-1a: the same in every build
        for (const char c : boot + std::string(ns, static_cast<size_t>(n))) {
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
        return std::string(hex);
    }();
    return space;
}

// ".veltora-SPACE-PID-N.part": at most 60 characters, whatever the name it stands beside.
std::string HiddenName()
{
    static std::atomic<unsigned> counter{0};
    const std::string& space = ProcessSpace();
    return kPrefix + (space.empty() ? std::string("x") : space) + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + kSuffix;
}

std::atomic<SyncCall> g_sync{nullptr};

} // namespace

void SetSyncCall(SyncCall call) { g_sync = call; }

void SweepDeadSideFiles(int folder)
{
    const std::string& space = ProcessSpace();
    if (space.empty()) {
        return;
    }
    const std::string mine = kPrefix + space + "-";
    const auto close = [](DIR* d) { ::closedir(d); };
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::unique_ptr<DIR, decltype(close)> dir(::fdopendir(fd), close);
    if (!dir) {
        ::close(fd);
        return;
    }
    const int dfd = ::dirfd(dir.get());
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name.compare(0, mine.size(), mine) != 0 || name.size() < mine.size() + sizeof kSuffix ||
            name.compare(name.size() - (sizeof kSuffix - 1), std::string::npos, kSuffix) != 0) {
            continue;
        }
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + mine.size(), &end, 10);
        if (pid <= 0 || *end != '-' || pid == ::getpid()) {
            continue;
        }
        // EPERM means a live process of someone else.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat st {};
        if (::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid()) {
            ::unlinkat(dfd, name.c_str(), 0);
        }
    }
}

SideFile::~SideFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_name.empty()) {
        ::unlinkat(m_dir, m_name.c_str(), 0);
    }
    if (m_dir >= 0) {
        ::close(m_dir);
    }
}

bool SideFile::Open(const std::string& path, mode_t mode, bool unnamed)
{
    // The side file is known relative to its folder: its path may be longer than the
    // target's, its name never is.
    m_dir = ::open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dir < 0) {
        return false;
    }
    // Also what a writer killed between its two steps of replacing a file left (complete).
    SweepDeadSideFiles(m_dir);
    // Naming an unnamed file later goes through /proc; without it the file could never be named.
    if (unnamed && ::access("/proc/self/fd", X_OK) == 0) {
        m_fd = ::openat(m_dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            return true;
        }
        // Only a filesystem (or a kernel) without unnamed files falls back.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return false;
        }
    }
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string name = HiddenName();
        m_fd = ::openat(m_dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_name = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

bool SideFile::Sync()
{
    if (m_fd < 0 || m_done) {
        errno = EBADF;
        return false;
    }
    // What the writes could not tell (a full disk on a network folder) is told here, before
    // the file takes its name.
    const SyncCall sync = g_sync.load();
    if (!m_synced && (sync ? sync(m_fd) : ::fsync(m_fd)) != 0) {
        return false;
    }
    m_synced = true;
    return true;
}

bool SideFile::Link(int dir, const std::string& path)
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    return ::linkat(AT_FDCWD, self.c_str(), dir, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool SideFile::Create(const std::string& path)
{
    if (!Sync()) {
        return false;
    }
    if (Unnamed()) {
        // A new link never replaces a name, nor follows one that is a symbolic link.
        if (!Link(AT_FDCWD, path)) {
            return false;
        }
    } else if (::renameat2(m_dir, m_name.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            return false;
        }
        // A filesystem that cannot rename without replacing can still link without replacing.
        if (::linkat(m_dir, m_name.c_str(), AT_FDCWD, path.c_str(), 0) != 0) {
            return false;
        }
        ::unlinkat(m_dir, m_name.c_str(), 0);
        m_name.clear();
    } else {
        m_name.clear();
    }
    m_done = true;
    return true;
}

bool SideFile::Replace(const std::string& path)
{
    if (!Sync()) {
        return false;
    }
    if (Unnamed()) {
        // An unnamed file cannot be renamed over a name: it takes a hidden one for the moment.
        for (int attempt = 0;; attempt++) {
            std::string name = HiddenName();
            if (Link(m_dir, name)) {
                m_name = std::move(name);
                break;
            }
            if (errno != EEXIST || attempt == 100) {
                return false;
            }
        }
    }
    if (::renameat(m_dir, m_name.c_str(), AT_FDCWD, path.c_str()) != 0) {
        return false;
    }
    m_name.clear();
    m_done = true;
    return true;
}

} // namespace outpath
