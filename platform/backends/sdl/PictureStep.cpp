// Stepping through a folder's pictures a slice at a time: the folder is listed by name once,
// then each candidate is judged by its first bytes before anything tries to show it.
#include "sdl/PictureStep.h"

#include <algorithm>
#include <filesystem>

#include "sources/MediaKind.h"

namespace sdl {

PictureStep::PictureStep(const std::string& picture, int direction) : m_direction(direction < 0 ? -1 : 1)
{
    // Whole paths where the current folder is known, so what is shown is named the same
    // wherever the user goes next; as given where it is not (the folder was removed).
    std::error_code ec;
    std::filesystem::path p = picture.empty() ? std::filesystem::path() : std::filesystem::absolute(picture, ec);
    if (ec) {
        p = picture;
    }
    m_current = p.filename().string();
    std::filesystem::path folder = picture.empty() ? std::filesystem::current_path(ec) : p.parent_path();
    if (ec) {
        folder.clear();
    }
    m_folder = folder.string();
    m_folderName = m_folder.empty() ? std::string(".") : m_folder;
}

std::string PictureStep::PathOf(std::size_t index) const
{
    return m_folder.empty() ? m_names[index] : (std::filesystem::path(m_folder) / m_names[index]).string();
}

bool PictureStep::Start(std::string& message)
{
    std::error_code ec;
    const std::string folder = m_folder.empty() ? std::string(".") : m_folder;
    // Names only: listing costs no call per file, whatever the folder holds.
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (sources::MediaKindByName(name) != MediaKind::None) {
            m_names.push_back(std::move(name));
        }
    }
    if (ec) {
        message = "veltora: cannot look for pictures in " + m_folderName + ": " + ec.message();
        return false;
    }
    if (m_names.empty()) {
        message = "veltora: no pictures in " + m_folderName + " to step through";
        return false;
    }
    std::sort(m_names.begin(), m_names.end());
    const long n = static_cast<long>(m_names.size());
    const long at = std::lower_bound(m_names.begin(), m_names.end(), m_current) - m_names.begin();
    const bool listed = at < n && m_names[static_cast<std::size_t>(at)] == m_current;
    // From the picture itself one way; a picture not among them is placed by its name.
    const long first = listed ? at + m_direction : (m_direction > 0 ? at : at - 1);
    m_next = ((first % n) + n) % n;
    m_left = m_names.size();
    return true;
}

PictureStep::State PictureStep::Continue(const Show& show, std::chrono::steady_clock::duration budget)
{
    const auto start = std::chrono::steady_clock::now();
    const long n = static_cast<long>(m_names.size());
    while (m_left > 0) {
        const std::size_t index = static_cast<std::size_t>(m_next);
        m_next = ((m_next + m_direction) % n + n) % n;
        m_left--;
        const std::string path = PathOf(index);
        std::string reason;
        if (MediaKindOf(path, &reason) == MediaKind::None) {
            // A file that could not even be read says why; one that was read is not media.
            if (reason.empty()) {
                m_notMedia++;
            } else {
                m_failed++;
                m_lastFailure = m_names[index] + ": " + reason;
            }
        } else if (show(path, reason)) {
            return State::Shown;
        } else {
            m_failed++;
            m_lastFailure = m_names[index] + ": " + reason;
        }
        if (m_left > 0 && std::chrono::steady_clock::now() - start >= budget) {
            return State::Going;
        }
    }
    return State::NoneShown;
}

std::string PictureStep::Details() const
{
    std::string details;
    if (m_notMedia == 1) {
        details = "1 is not a picture or video by its content";
    } else if (m_notMedia > 1) {
        details = std::to_string(m_notMedia) + " are not pictures or videos by their content";
    }
    if (m_failed > 0) {
        details += std::string(details.empty() ? "" : ", ") + std::to_string(m_failed) + " cannot be shown (" +
                   (m_failed > 1 ? "the last, " : "") + m_lastFailure + ")";
    }
    return details;
}

std::string PictureStep::Skipped() const
{
    const std::size_t skipped = m_notMedia + m_failed;
    if (skipped == 0) {
        return {};
    }
    return "veltora: passed over " + std::to_string(skipped) + (skipped == 1 ? " file" : " files") + " in " +
           m_folderName + ": " + Details();
}

std::string PictureStep::NoneShownMessage() const
{
    return "veltora: no picture in " + m_folderName + " can be shown: " + Details();
}

} // namespace sdl
