// The window's keys in one table: for each entry of the key list, the keys it names, whether
// they act again while held, and what they do. The key handling and the list shown by H, in
// --help and in the manual are all made from it, so they cannot drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sdl {

// What the keys do; the window carries it out.
class KeyTarget {
public:
    virtual ~KeyTarget() = default;
    virtual void TurnPhone(int turns, float pitch) = 0;
    virtual void TiltBy(float degrees) = 0;
    virtual void PanBy(double viewDx, double viewDy) = 0; // in view pixels
    virtual void ZoomBy(double factor) = 0; // about the screen's centre
    virtual void ToggleWholePicture() = 0;
    virtual void TurnPicture() = 0;
    virtual void StepPicture(int direction) = 0;
    // A video: 0 pauses or plays it, +1 and -1 step a frame forward and back (paused).
    virtual void PlayVideo(int step) = 0;
    virtual void LayAlongPicture(bool corner) = 0;
    virtual void FollowCorner() = 0;
    virtual void SendToBackground() = 0;
    virtual void BringToForeground() = 0;
    virtual void TakeScreenshot(bool asSeen) = 0;
    virtual void ShowKeyList() = 0;
    virtual void Quit() = 0;
};

struct KeyRow {
    std::vector<std::int32_t> keys; // SDL key codes that do the same
    bool repeats = false; // acts again while the key is held
    void (*action)(KeyTarget& target, bool shift) = nullptr;
};

struct KeyEntry {
    const char* label; // the key column: the keys named, or what the mouse or a finger does
    const char* help; // what it does; '\n' goes on on another line
    std::vector<KeyRow> rows; // none: done with the mouse, a touch or a dropped file
};

const std::vector<KeyEntry>& KeyTable();

// The list as --help prints it: a heading, then each entry with its description going on
// over indented lines.
const std::string& KeyHelpText();
constexpr const char* kKeyHelpHeading = "in the window:";
constexpr std::size_t kKeyColumn = 23;

// Carries out a key pressed (`repeat`: the key is held and the desktop repeats it). False
// when no entry has that key, or it does not act again while held.
bool PressKey(KeyTarget& target, std::int32_t key, bool repeat, bool shift);

} // namespace sdl
