// A file written beside its final name and given that name only when complete, so a full
// disk, a crash or a SIGKILL never leaves half a file under the name, nor a stray file beside it.
#pragma once

#include <sys/types.h>

#include <string>

namespace outpath {

class SideFile {
public:
    SideFile() = default;
    ~SideFile();
    SideFile(const SideFile&) = delete;
    SideFile& operator=(const SideFile&) = delete;

    // Opens an empty file in the folder of `path`, with `mode` (less the umask). The file
    // has no name while it is written where the filesystem allows it (O_TMPFILE); elsewhere,
    // or with `unnamed` false, it has a short hidden one (".veltora-…part", well within any
    // name limit). The hidden files of writers that died are swept first. False with errno.
    bool Open(const std::string& path, mode_t mode, bool unnamed = true);
    int Fd() const { return m_fd; }
    // Whether the file is being written with no name at all.
    bool Unnamed() const { return m_name.empty(); }
    // The hidden name of a named side file (in its folder), for tests.
    const std::string& Name() const { return m_name; }

    // Gives the finished file the name `path` (in the same folder) only where nothing is
    // there, not even a link, which is left alone; false with errno EEXIST when the name is
    // taken, and the file stays ready to take another name. False with errno on failure.
    bool Create(const std::string& path);
    // Gives the finished file the name `path`, replacing what is there at once. An unnamed
    // file takes a hidden name for the moment between (a rename needs a name to move).
    bool Replace(const std::string& path);

private:
    bool Sync();
    bool Link(int dir, const std::string& path);

    int m_dir = -1; // the folder, which every hidden name is in
    int m_fd = -1;
    std::string m_name; // the hidden name; empty while the file has no name
    bool m_synced = false;
    bool m_done = false;
};

// What makes a side file's data durable before it takes its name: fsync, unless a test put
// its own call here to see when it comes or to make it fail. Null puts fsync back.
using SyncCall = int (*)(int fd);
void SetSyncCall(SyncCall call);

// Removes the hidden side files in the open `folder` left by writers that died (killed
// during a write on a filesystem without unnamed files, or between the two steps of
// replacing a file): only this user's, and only those of processes of this machine's
// process space that no longer exist.
void SweepDeadSideFiles(int folder);

} // namespace outpath
