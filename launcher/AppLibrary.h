// The application library, loaded as the phone's loader would: an owning handle that closes
// it when the run is done, with its OspMain looked up, and checked, once.
#pragma once

#include <memory>
#include <string>

namespace launcher {

class AppLibrary {
public:
    // Loads the library at `path`; null with the whole line to tell (naming the library)
    // when it cannot be loaded or has no usable entry point.
    static std::unique_ptr<AppLibrary> Open(const std::string& path, std::string& message);
    ~AppLibrary();
    AppLibrary(const AppLibrary&) = delete;
    AppLibrary& operator=(const AppLibrary&) = delete;

    // Calls OspMain with `argv` (argc entries and a null), as the phone does.
    int Enter(int argc, char** argv) const;

private:
    using EntryPoint = int (*)(int, char**);
    AppLibrary(void* handle, EntryPoint entry) : m_handle(handle), m_entry(entry) {}

    void* m_handle;
    EntryPoint m_entry;
};

} // namespace launcher
