// Folders for tests to write in: unique to each process and each use, removed afterwards,
// so tests run in parallel never share or delete each other's files.
#pragma once

#include <string>

namespace testing_support {

// A new empty folder under the system's temporary directory, removed with everything in it
// when the object goes.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& label = "veltora-test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// This process's own scratch folder, made at first use and removed when the process ends.
const ScratchDir& ProcessScratch();

// A folder for a test's failure evidence (a picture that did not match): unique, and kept.
std::string KeptFolder(const std::string& label);

} // namespace testing_support
