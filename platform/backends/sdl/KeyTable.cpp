// The window's keys and what the mouse and a touch screen do, in the order the list shows them.
#include "sdl/KeyTable.h"

#include <algorithm>

#include "sdl/SdlWindow.h"
#include "sdl/WindowParts.h"

#include <SDL.h>

namespace sdl {

using namespace detail;

namespace {

double Pan(bool shift) { return shift ? kFinePanStep : kPanStep; }

std::vector<KeyEntry> MakeTable()
{
    return {
        {"left mouse button", "the finger: press, drag and release; a loupe shows the finger", {}},
        {"touch screen", "the first finger down is the finger; others wait until it lifts", {}},
        {"Shift + drag",
         "fine drag: the finger moves a tenth as far as the mouse\n"
         "(the finger follows the mouse out of the window while held)",
         {}},
        {"1 2 3 4",
         "turn the phone: landscape (pitch -90), portrait (0),\n"
         "landscape turned over (+90), portrait upside down (180)",
         {{{SDLK_1, SDLK_KP_1}, false, [](KeyTarget& t, bool) { t.TurnPhone(0, -90.0f); }},
          {{SDLK_2, SDLK_KP_2}, false, [](KeyTarget& t, bool) { t.TurnPhone(1, 0.0f); }},
          {{SDLK_3, SDLK_KP_3}, false, [](KeyTarget& t, bool) { t.TurnPhone(2, 90.0f); }},
          {{SDLK_4, SDLK_KP_4}, false, [](KeyTarget& t, bool) { t.TurnPhone(3, 180.0f); }}}},
        {"[ ]",
         "tilt the phone 5 degrees back / forward (the view stays)",
         {{{SDLK_LEFTBRACKET}, true, [](KeyTarget& t, bool) { t.TiltBy(-kPitchStep); }},
          {{SDLK_RIGHTBRACKET}, true, [](KeyTarget& t, bool) { t.TiltBy(kPitchStep); }}}},
        {"arrow keys",
         "aim the camera (with Shift: small steps)",
         {{{SDLK_LEFT}, true, [](KeyTarget& t, bool shift) { t.PanBy(-Pan(shift), 0); }},
          {{SDLK_RIGHT}, true, [](KeyTarget& t, bool shift) { t.PanBy(Pan(shift), 0); }},
          {{SDLK_UP}, true, [](KeyTarget& t, bool shift) { t.PanBy(0, -Pan(shift)); }},
          {{SDLK_DOWN}, true, [](KeyTarget& t, bool shift) { t.PanBy(0, Pan(shift)); }}}},
        {"right button drag", "move the camera's picture", {}},
        {"middle button", "bring the picture point under the mouse under the dial's hub", {}},
        {"wheel, + -",
         "zoom the camera about the mouse / the centre (1/8x to 8x)",
         {{{SDLK_PLUS, SDLK_EQUALS, SDLK_KP_PLUS}, true, [](KeyTarget& t, bool) { t.ZoomBy(kZoomStep); }},
          {{SDLK_MINUS, SDLK_KP_MINUS}, true, [](KeyTarget& t, bool) { t.ZoomBy(1.0 / kZoomStep); }}}},
        {"0",
         "the whole picture (letterboxed); again: fill the screen",
         {{{SDLK_0, SDLK_KP_0}, false, [](KeyTarget& t, bool) { t.ToggleWholePicture(); }}}},
        {"R",
         "turn the picture a quarter turn clockwise (N and P keep it)",
         {{{SDLK_r}, false, [](KeyTarget& t, bool) { t.TurnPicture(); }}}},
        {"N P",
         "the next / previous picture in the picture's folder",
         {{{SDLK_n}, false, [](KeyTarget& t, bool) { t.StepPicture(1); }},
          {{SDLK_p}, false, [](KeyTarget& t, bool) { t.StepPicture(-1); }}}},
        {"drop a file", "show that photo or video", {}},
        {"Space , .",
         "pause and play a video / step a frame back, forward",
         {{{SDLK_SPACE}, false, [](KeyTarget& t, bool) { t.PlayVideo(0); }},
          {{SDLK_COMMA}, true, [](KeyTarget& t, bool) { t.PlayVideo(-1); }},
          {{SDLK_PERIOD}, true, [](KeyTarget& t, bool) { t.PlayVideo(1); }}}},
        {"E",
         "lay the needle nearest the mouse along the picture's edge there",
         {{{SDLK_e}, false, [](KeyTarget& t, bool) { t.LayAlongPicture(false); }}}},
        {"C",
         "aim the corner under the mouse under the hub, needles along it",
         {{{SDLK_c}, false, [](KeyTarget& t, bool) { t.LayAlongPicture(true); }}}},
        {"L",
         "after C: follow that corner from picture to picture; again: stop",
         {{{SDLK_l}, false, [](KeyTarget& t, bool) { t.FollowCorner(); }}}},
        {"B F",
         "send the application to the background / bring it back",
         {{{SDLK_b}, false, [](KeyTarget& t, bool) { t.SendToBackground(); }},
          {{SDLK_f}, false, [](KeyTarget& t, bool) { t.BringToForeground(); }}}},
        {"S",
         "save what you see as veltora-DATE-TIME.png in Veltora in\n"
         "your pictures folder, or in --save-to's folder (Shift+S:\n"
         "the phone's own screen, as scripts save it)",
         {{{SDLK_s}, false, [](KeyTarget& t, bool shift) { t.TakeScreenshot(!shift); }}}},
        {"H, F1",
         "show this list (Escape or any other key closes it)",
         {{{SDLK_h, SDLK_F1}, false, [](KeyTarget& t, bool) { t.ShowKeyList(); }}}},
        {"Q", "quit (closing the window quits too)", {{{SDLK_q}, false, [](KeyTarget& t, bool) { t.Quit(); }}}},
    };
}

std::string MakeHelpText()
{
    std::string text = std::string(kKeyHelpHeading) + "\n";
    for (const KeyEntry& entry : KeyTable()) {
        std::string label = std::string("  ") + entry.label;
        label.resize(std::max(kKeyColumn, label.size() + 1), ' ');
        std::string help = entry.help;
        std::size_t from = 0;
        for (bool first = true; from <= help.size(); first = false) {
            const std::size_t end = std::min(help.find('\n', from), help.size());
            text += (first ? label : std::string(kKeyColumn, ' ')) + help.substr(from, end - from) + "\n";
            from = end + 1;
        }
    }
    return text;
}

} // namespace

const std::vector<KeyEntry>& KeyTable()
{
    static const std::vector<KeyEntry> table = MakeTable();
    return table;
}

const std::string& KeyHelpText()
{
    static const std::string text = MakeHelpText();
    return text;
}

const char* const kKeyHelp = KeyHelpText().c_str();

bool PressKey(KeyTarget& target, std::int32_t key, bool repeat, bool shift)
{
    for (const KeyEntry& entry : KeyTable()) {
        for (const KeyRow& row : entry.rows) {
            for (const std::int32_t k : row.keys) {
                if (k == key) {
                    if (repeat && !row.repeats) {
                        return false;
                    }
                    row.action(target, shift);
                    return true;
                }
            }
        }
    }
    return false;
}

} // namespace sdl
