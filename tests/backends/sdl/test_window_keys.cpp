// The window's key table: every key it acts on is in the list H, --help and the manual show,
// every key the list names acts, and each acts as the list says (held keys repeat, others not).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sdl/KeyTable.h"
#include "sdl/SdlWindow.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace {

// What the keys asked for, one line a call.
struct Recorder : sdl::KeyTarget {
    std::vector<std::string> calls;
    void Add(const std::string& s) { calls.push_back(s); }
    void TurnPhone(int turns, float pitch) override
    {
        Add("turn " + std::to_string(turns) + " " + std::to_string(int(pitch)));
    }
    void TiltBy(float degrees) override { Add("tilt " + std::to_string(int(degrees))); }
    void PanBy(double dx, double dy) override { Add("pan " + std::to_string(int(dx)) + " " + std::to_string(int(dy))); }
    void ZoomBy(double factor) override { Add(factor > 1 ? "zoom in" : "zoom out"); }
    void ToggleWholePicture() override { Add("whole"); }
    void TurnPicture() override { Add("turn picture"); }
    void StepPicture(int direction) override { Add("step " + std::to_string(direction)); }
    void PlayVideo(int step) override { Add("video " + std::to_string(step)); }
    void LayAlongPicture(bool corner) override { Add(corner ? "corner" : "edge"); }
    void FollowCorner() override { Add("follow"); }
    void SendToBackground() override { Add("background"); }
    void BringToForeground() override { Add("foreground"); }
    void TakeScreenshot(bool asSeen) override { Add(asSeen ? "shot as seen" : "shot of the screen"); }
    void ShowKeyList() override { Add("keys"); }
    void Quit() override { Add("quit"); }
};

std::vector<std::string> Words(const std::string& label)
{
    std::vector<std::string> words;
    std::string w;
    for (const char c : label + " ") {
        // A comma ends the word it follows ("H, F1"); standing alone it is the comma key.
        if (c == ' ' || (c == ',' && !w.empty())) {
            if (!w.empty()) {
                words.push_back(w);
            }
            w.clear();
        } else {
            w += c;
        }
    }
    return words;
}

// The words of the list that stand for several keys at once.
const std::map<std::string, std::set<SDL_Keycode>> kGroups = {{"arrow", {SDLK_LEFT, SDLK_RIGHT, SDLK_UP, SDLK_DOWN}}};

} // namespace

TEST(WindowKeys, EveryKeyHandledIsListedAndEveryKeyListedIsHandled)
{
    std::set<SDL_Keycode> seen;
    for (const sdl::KeyEntry& entry : sdl::KeyTable()) {
        if (entry.rows.empty()) {
            continue; // the mouse, a touch, a dropped file
        }
        std::set<SDL_Keycode> handled, named;
        for (const sdl::KeyRow& row : entry.rows) {
            ASSERT_NE(row.action, nullptr) << entry.label;
            for (const std::int32_t key : row.keys) {
                EXPECT_TRUE(seen.insert(key).second) << SDL_GetKeyName(key) << " does two things";
                handled.insert(key);
            }
        }
        for (const std::string& word : Words(entry.label)) {
            if (const auto group = kGroups.find(word); group != kGroups.end()) {
                named.insert(group->second.begin(), group->second.end());
            } else if (const SDL_Keycode key = SDL_GetKeyFromName(word.c_str()); key != SDLK_UNKNOWN) {
                EXPECT_TRUE(handled.count(key)) << "'" << entry.label << "' names " << word << ", which does nothing";
                named.insert(key);
            }
        }
        // Each row is named by at least one of its keys (the keypad's twins go with them).
        for (const sdl::KeyRow& row : entry.rows) {
            bool anyNamed = false;
            for (const std::int32_t key : row.keys) {
                anyNamed = anyNamed || named.count(key);
            }
            EXPECT_TRUE(anyNamed) << "'" << entry.label << "' leaves out " << SDL_GetKeyName(row.keys.front());
        }
    }
    // The list the user reads is the table's, entry for entry, key column aligned.
    std::istringstream text(sdl::kKeyHelp);
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, sdl::kKeyHelpHeading);
    for (const sdl::KeyEntry& entry : sdl::KeyTable()) {
        ASSERT_TRUE(std::getline(text, line)) << entry.label << " is missing";
        EXPECT_EQ(line.substr(0, sdl::kKeyColumn).find_last_not_of(' ') + 1,
                  std::string("  ").size() + std::strlen(entry.label))
            << line;
        EXPECT_EQ(line.rfind(std::string("  ") + entry.label, 0), 0u) << line;
        for (const char* c = entry.help; (c = std::strchr(c, '\n')) != nullptr; c++) {
            ASSERT_TRUE(std::getline(text, line));
            EXPECT_EQ(line.rfind(std::string(sdl::kKeyColumn, ' '), 0), 0u) << line;
        }
    }
    EXPECT_FALSE(std::getline(text, line)) << "the list goes on: " << line;
}

TEST(WindowKeys, KeysActAsListedAndOnlyStepsRepeatWhileHeld)
{
    using sdl::detail::kFinePanStep;
    using sdl::detail::kPanStep;
    Recorder r;
    const auto press = [&](SDL_Keycode key, bool repeat = false, bool shift = false) {
        r.calls.clear();
        const bool acted = sdl::PressKey(r, key, repeat, shift);
        EXPECT_EQ(acted, !r.calls.empty());
        return r.calls.empty() ? std::string() : r.calls.front();
    };
    EXPECT_EQ(press(SDLK_1), "turn 0 -90");
    EXPECT_EQ(press(SDLK_KP_2), "turn 1 0");
    EXPECT_EQ(press(SDLK_3), "turn 2 90");
    EXPECT_EQ(press(SDLK_KP_4), "turn 3 180");
    EXPECT_EQ(press(SDLK_LEFTBRACKET, true), "tilt -5");
    EXPECT_EQ(press(SDLK_RIGHTBRACKET, true), "tilt 5");
    EXPECT_EQ(press(SDLK_LEFT, true), "pan -" + std::to_string(kPanStep) + " 0");
    EXPECT_EQ(press(SDLK_DOWN, false, true), "pan 0 " + std::to_string(kFinePanStep));
    EXPECT_EQ(press(SDLK_EQUALS, true), "zoom in");
    EXPECT_EQ(press(SDLK_KP_MINUS), "zoom out");
    EXPECT_EQ(press(SDLK_s), "shot as seen");
    EXPECT_EQ(press(SDLK_s, false, true), "shot of the screen");
    EXPECT_EQ(press(SDLK_n), "step 1");
    EXPECT_EQ(press(SDLK_p), "step -1");
    EXPECT_EQ(press(SDLK_c), "corner");
    EXPECT_EQ(press(SDLK_l), "follow");
    EXPECT_EQ(press(SDLK_F1), "keys");
    EXPECT_EQ(press(SDLK_SPACE), "video 0");
    EXPECT_EQ(press(SDLK_COMMA, true), "video -1");
    EXPECT_EQ(press(SDLK_PERIOD, true), "video 1");
    EXPECT_EQ(press(SDLK_SPACE, true), "");
    // Held, a key that does a thing once does it once.
    for (const SDL_Keycode once : {SDLK_1, SDLK_0, SDLK_r, SDLK_b, SDLK_s, SDLK_q, SDLK_h, SDLK_l}) {
        EXPECT_EQ(press(once, true), "") << SDL_GetKeyName(once);
    }
    EXPECT_EQ(press(SDLK_x), "");
    EXPECT_EQ(press(SDLK_ESCAPE), "");
}
