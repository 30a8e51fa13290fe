// Where the platform may write the user's files, and the start-of-run check that no
// output lands on a device, a folder, an input of the run or another output.
#include "files/OutputPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace outpath {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* KindOfFile(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

bool Allowed(mode_t mode, Kind kind)
{
    if (S_ISREG(mode)) return true;
    // A stream is written through, never replaced: a terminal, /dev/null or a pipe takes it
    // unharmed. A disk (a block device) never does, and a socket cannot be opened at all.
    return kind == Kind::Stream && (S_ISCHR(mode) || S_ISFIFO(mode));
}

bool FolderUsable(const std::string& folder, std::string& reason)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        reason = errno == ENOENT ? "its folder " + folder + " does not exist"
                                 : "its folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        reason = folder + " is not a folder";
        return false;
    }
    // A folder removed while still open (the shell's working folder, deleted under it) takes
    // no new file, whatever its permissions say.
    if (st.st_nlink == 0) {
        reason = folder == "." ? "the working folder has been deleted" : "its folder " + folder + " has been deleted";
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        reason = "its folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// The one name a file goes by: its device and inode once it exists, its real folder and name
// before. A symbolic link to nothing stands for the file it names, which a write through it
// would make. Empty for what is there but is no regular file.
std::string FileKey(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISREG(st.st_mode) ? std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) : std::string();
    }
    std::string at = path;
    for (int hops = 0; hops < 40 && ::lstat(at.c_str(), &st) == 0 && S_ISLNK(st.st_mode); hops++) {
        char to[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), to, sizeof to - 1);
        if (n <= 0) {
            break;
        }
        const std::string target(to, static_cast<size_t>(n));
        at = target[0] == '/' ? target : FolderOf(at) + "/" + target;
    }
    return RealPath(FolderOf(at)) + "/" + NameOf(at);
}

} // namespace

bool Resolve(const std::string& path, Kind kind, Target& out, std::string& reason)
{
    out = Target{};
    out.path = path;
    if (path.empty() || path.back() == '/') {
        reason = "names a folder, not a file";
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            reason = std::strerror(errno);
            return false;
        }
        return FolderUsable(FolderOf(path), reason);
    }
    if (S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0) {
            reason = errno == ENOENT ? "a symbolic link to nothing" : std::strerror(errno);
            return false;
        }
        // A picture is renamed over the file the link names, so the link stays a link.
        if (kind == Kind::Replaced) {
            out.path = RealPath(path);
        }
    }
    if (!Allowed(st.st_mode, kind)) {
        reason = std::string(KindOfFile(st.st_mode)) + ", not a regular file";
        return false;
    }
    out.exists = true;
    out.mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) {
        // A file its owner made read-only is not replaced behind their back either.
        if (::access(out.path.c_str(), W_OK) != 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (kind == Kind::Replaced) {
            return FolderUsable(FolderOf(out.path), reason);
        }
    }
    return true;
}

std::FILE* OpenStream(const std::string& path, bool append, std::string& reason)
{
    Target target;
    if (!Resolve(path, Kind::Stream, target, reason)) {
        return nullptr;
    }
    // Non-blocking only for the open itself, so that a FIFO with no reader is refused.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) {
        const int error = errno;
        // ENXIO is what both a FIFO with no reader and a socket (put there since the check) give.
        struct stat st {};
        if (error == ENXIO && ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            reason = "a FIFO that nobody reads";
        } else if (error == ENXIO && S_ISSOCK(st.st_mode)) {
            reason = "a socket, not a regular file";
        } else {
            reason = std::strerror(error);
        }
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !Allowed(st.st_mode, Kind::Stream)) {
        reason = std::string(KindOfFile(st.st_mode)) + ", not a regular file";
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    std::FILE* f = ::fdopen(fd, append ? "a" : "w");
    if (!f) {
        reason = std::strerror(errno);
        ::close(fd);
    }
    return f;
}

void RunFiles::AddInput(const std::string& path, const std::string& what)
{
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        m_inputs.push_back(Input{st.st_dev, st.st_ino, what});
    }
}

void RunFiles::AddInputFolder(const std::string& dir, const std::string& what)
{
    const auto close = [](DIR* d) { ::closedir(d); };
    std::unique_ptr<DIR, decltype(close)> d(::opendir(dir.c_str()), close);
    if (!d) {
        return;
    }
    while (const dirent* e = ::readdir(d.get())) {
        AddInput(dir + "/" + e->d_name, what);
    }
}

void RunFiles::AddKept(const std::string& path, const std::string& what)
{
    if (!path.empty()) {
        if (std::string key = FileKey(path); !key.empty()) {
            m_kept.push_back(Kept{std::move(key), what});
        }
    }
}

void RunFiles::AddOutput(const std::string& path, Kind kind, const std::string& what, const std::string& group)
{
    m_outputs.push_back(Output{path, kind, what, group});
}

bool RunFiles::Check(std::string& reason) const
{
    // A file is known by its device and inode once it exists, by its real folder and name before.
    struct Seen {
        std::string key;
        const Output* output;
    };
    std::vector<Seen> seen;
    for (const Output& o : m_outputs) {
        const auto fail = [&](const std::string& why) {
            reason = "cannot write " + o.what + " " + o.path + ": " + why;
            return false;
        };
        Target target;
        std::string why;
        if (!Resolve(o.path, o.kind, target, why)) {
            return fail(why);
        }
        struct stat st {};
        if (target.exists && ::stat(target.path.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) {
                continue; // a device or a pipe is not a file any input could be
            }
            for (const Input& in : m_inputs) {
                if (in.dev == st.st_dev && in.ino == st.st_ino) {
                    return fail("it is " + in.what + " of this run");
                }
            }
        }
        const std::string key = FileKey(target.path);
        for (const Kept& k : m_kept) {
            if (k.key == key) {
                return fail("it is " + k.what);
            }
        }
        for (const Seen& s : seen) {
            if (s.key == key && s.output->group != o.group) {
                return fail("it is also " + s.output->what + " " + s.output->path);
            }
        }
        seen.push_back(Seen{key, &o});
    }
    return true;
}

} // namespace outpath
