// Stepping to the next or previous picture in a folder (N, P) a slice at a time, so that a
// folder of thousands of files that cannot be shown never holds the window up. SDL-free.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sources/MediaKind.h"

namespace sdl {

// What a file holds is told by the camera's one classifier; the window's tests know it here.
using sources::MediaKind;
using sources::MediaKindOf;

class PictureStep {
public:
    // Shows a candidate; false with a reason when it cannot.
    using Show = std::function<bool(const std::string& path, std::string& reason)>;
    enum class State { Going, Shown, NoneShown };

    // A step from `picture` (empty: the demo scene, stepping through the current folder)
    // one way (+1 next, -1 previous).
    PictureStep(const std::string& picture, int direction);

    // Lists the folder. False with the line to print when there is nothing to step through.
    bool Start(std::string& message);
    // Looks at candidates in turn until one is shown, every one has been looked at (the
    // picture itself last, so a folder of one picture shows it again), or `budget` has
    // passed; at least one is looked at each time. Cheap checks of the content come first,
    // so only files that look like pictures or videos are handed to `show`.
    State Continue(const Show& show, std::chrono::steady_clock::duration budget);

    // One line on what was passed over on the way (empty when nothing was), for Going too.
    std::string Skipped() const;
    // The line for NoneShown.
    std::string NoneShownMessage() const;
    int Direction() const { return m_direction; }
    const std::string& Folder() const { return m_folderName; }

private:
    std::string PathOf(std::size_t index) const;
    std::string Details() const;

    std::string m_folder; // as listed (empty: the current folder, which has no name)
    std::string m_folderName; // as told to the user
    std::string m_current; // the picture's own name in the folder
    int m_direction;
    std::vector<std::string> m_names; // sorted
    long m_next = 0; // the next index to look at
    std::size_t m_left = 0; // how many are still to be looked at

    std::size_t m_notMedia = 0;
    std::size_t m_failed = 0;
    std::string m_lastFailure;
};

} // namespace sdl
