// Loading the application library: only a regular file is handed to the loader, and its
// entry point must be code.
#include "AppLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace launcher {

namespace {

// A library may export a variable under the entry point's name.
bool IsFunction(void* address)
{
    Dl_info info{};
    void* entry = nullptr;
    if (!dladdr1(address, &info, &entry, RTLD_DL_SYMENT) || !entry) {
        return false;
    }
    const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
    const int type = ELF64_ST_TYPE(symbol->st_info);
    return type == STT_FUNC || type == STT_GNU_IFUNC;
}

} // namespace

std::unique_ptr<AppLibrary> AppLibrary::Open(const std::string& path, std::string& message)
{
    if (access(path.c_str(), R_OK) != 0) {
        message = "cannot load application " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // The loader reads whatever the name leads to: a FIFO would hold the start for ever, a
    // device would be read without end.
    if (struct stat st{}; ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        message = "cannot load application " + path + ": not a regular file";
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* err = dlerror();
        message = "cannot load application " + path + ": " + (err ? err : "unknown error");
        return nullptr;
    }
    void* entry = dlsym(handle, "OspMain");
    if (!entry) {
        dlclose(handle);
        message = "application " + path + " has no OspMain entry point";
        return nullptr;
    }
    if (!IsFunction(entry)) {
        dlclose(handle);
        message = "application " + path + " is broken: its OspMain is not a function";
        return nullptr;
    }
    return std::unique_ptr<AppLibrary>(new AppLibrary(handle, reinterpret_cast<EntryPoint>(entry)));
}

AppLibrary::~AppLibrary() { dlclose(m_handle); }

int AppLibrary::Enter(int argc, char** argv) const { return m_entry(argc, argv); }

} // namespace launcher
