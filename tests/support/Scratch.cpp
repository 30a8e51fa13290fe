// Unique scratch folders for tests: mkdtemp under TMPDIR (or /tmp), removed when done.
// Evidence of a failure goes to a folder that is kept, and the failure message names it.
#include "support/Scratch.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace testing_support {

namespace {

std::string MakeUnique(const std::string& label)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (label + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a scratch folder under " + pattern);
    }
    return pattern;
}

} // namespace

ScratchDir::ScratchDir(const std::string& label) : m_path(MakeUnique(label)) {}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

const ScratchDir& ProcessScratch()
{
    // A function-local static is destroyed at exit, which removes the folder.
    static const ScratchDir dir("veltora-test");
    return dir;
}

std::string KeptFolder(const std::string& label) { return MakeUnique(label); }

} // namespace testing_support
