// The desktop window of the simulated phone: shows its screen the way a person holding the
// phone would see it, and turns the mouse, the wheel and the keys into touches, tilt and aim.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "device/EventLoop.h"
#include "edges/Finger.h"

// SDL stays out of this header, so the launcher builds without SDL's include paths.
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace device { class Device; }

namespace sdl {

class PictureStep;

// Every key and mouse action the window knows, for --help, the README and the key list (H).
extern const char* const kKeyHelp;

struct Options {
    // Shows the screen this many times smaller (1 is pixel for pixel); 0 picks a size that
    // suits the desktop.
    int shrink = 0;
    // Fills the display with the phone's screen (shrink is then unused). The view turns as
    // the tilt sensor reads when a real sensor drives it, as the keys turn it otherwise.
    bool fullscreen = false;
    // Makes a camera source for a picture file (a dropped file, N and P); the window owns no
    // backend of its own. Null: pictures cannot be opened from the window.
    std::function<std::unique_ptr<device::CameraSource>(const std::string& path)> openPicture;
    // The picture the camera shows at start (empty: the demo scene), where N and P start.
    std::string picture;
    // Where S saves its pictures; empty: a Veltora folder in the user's pictures folder.
    std::string saveTo;
    // The file the window remembers its size, place and last picture in, read as it opens
    // and written as it closes; empty: nothing is remembered.
    std::string settingsFile;
    // Whether to show the picture of the last run at start (no camera was asked for).
    bool showLastPicture = false;
    // The files this run writes (empty names are none): the last picture is not shown
    // when it is one of them, so that it is never written over while it is shown.
    std::vector<std::string> outputs;
};

// How the run with a window ended, for the launcher's exit code.
enum class Ending { Quit, WindowLost };

// Which way the phone is held for a pitch, as quarter turns the window applies to the
// screen (clockwise): 0 at -90 (landscape), 1 at 0 (portrait), 2 at 90, 3 at 180.
int QuarterTurnsForPitch(float pitch);

class Window final : public device::EventLoop::Waiter {
public:
    // Opens the window and makes it the way the device's loop waits. Returns null with a
    // one-line reason when there is no display, or when the device runs on the simulated
    // clock (a window needs the real one). Call on the thread that will run the device.
    static std::unique_ptr<Window> Open(device::Device& device, const Options& options, std::string& reason);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Runs the device until it terminates (Q, closing the window, a signal, the window
    // or its display lost). Call from the device's driver, on the event thread.
    void Run();
    Ending GetEnding() const;

    void WaitUntil(device::Micros deadline, device::Micros now) override;
    void Wake() override;

private:
    Window(device::Device& device, const Options& options);

    struct Point {
        int x = 0;
        int y = 0;
    };
    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
    };

    // SdlWindow.cpp
    void WatchConnection();
    bool HandlePending();
    bool ConnectionLost() const;
    // SdlPresent.cpp
    void Refresh();
    void Present();
    bool UploadScreen();
    void FitWindowToView(int oldViewW, int oldViewH);
    void UpdateTitle();
    void FollowSensor();
    Rect ViewRect() const;
    // SdlOverlay.cpp
    // SdlLoupe.cpp
    void DrawLoupe(const Rect& view);
    Rect PlaceLoupe(const Rect& view, int side) const;
    bool DrawLoupePicture(const Rect& dst, double magnify);
    void DrawLoupeScreen(const Rect& dst, double magnify);
    void DrawKeyList();
    void ShowNotice(const std::string& text);
    void DrawNotice(const Rect& view);
    // SdlInput.cpp
    void Handle(const SDL_Event& event);
    void HandleKey(const SDL_Event& event);
    void FlushInput();
    void HandleFinger(const SDL_Event& event);
    void PressFinger(int wx, int wy);
    void MoveFinger(int wx, int wy);
    void PressFingerAt(device::PointD screenPoint);
    void LiftFinger();
    void SetPitch(float pitch);
    void TurnTo(int turns, float pitch);
    void ScrollPage(double steps);
    // SdlAim.cpp
    void PanBy(double viewDx, double viewDy);
    void ZoomBy(double factor, const Point* windowPoint);
    void ToggleWholePicture();
    void TurnPicture();
    void AimUnderHub(int wx, int wy);
    // SdlEdges.cpp
    void LayAlongPicture(bool corner);
    void CarryPlan(const edges::Plan& plan);
    void SetAim(device::Aim aim);
    device::FrameSize CameraFrame() const;
    device::PointD CameraPoint(device::PointD screenPoint) const;
    // SdlScreenshot.cpp
    void TakeScreenshot(bool asSeen);
    // SdlSettings.cpp
    void LoadSettings();
    // The remembered size (when no shrink was asked for) and place, where there are some.
    void StartPlace(int& x, int& y, int& w, int& h) const;
    void ShowLastPicture();
    void SaveSettings();
    // SdlPictures.cpp
    void OpenPicture(const std::string& path);
    bool TryPicture(const std::string& path, std::string& reason);
    void StepPicture(int direction);
    void ContinueStep();
    void EndStep();

    // How the screen is turned in the window now.
    int Turns() const;
    int ViewWidth() const;
    int ViewHeight() const;
    // A window point (in the window's own units) as a point of the screen, in continuous
    // screen pixels ((0.5, 0.5) is the middle of the top-left pixel); not clamped.
    device::PointD WindowToScreen(double wx, double wy) const;

    device::Device& m_device;
    Options m_options;
    SDL_Window* m_pWindow = nullptr;
    SDL_Renderer* m_pRenderer = nullptr;
    SDL_Texture* m_pScreen = nullptr;
    SDL_Texture* m_pKeyList = nullptr;
    SDL_Texture* m_pLoupe = nullptr;
    int m_loupeSide = 0;
    std::vector<std::uint32_t> m_loupePixels;
    int m_keyListWidth = 0;
    int m_keyListHeight = 0;
    int m_textureWidth = 0;
    int m_textureHeight = 0;
    // Whether the screen's texture still holds what was drawn into it at the next lock.
    bool m_textureKeepsPixels = false;
    std::uint32_t m_wakeEventType = 0;
    std::atomic<bool> m_wakePending{false};
    std::atomic<std::thread::id> m_eventThread{};
    // On X11: the X connection's socket and the eventfd that Wake writes to; -1 elsewhere,
    // where SDL's own wait and a pushed event are used.
    int m_xFd = -1;
    int m_wakeFd = -1;
    bool m_windowLost = false;

    // What is on show, to tell when it must be drawn again.
    std::uint64_t m_shownVersion = 0;
    bool m_mustPresent = true;
    int m_screenWidth = 800;
    int m_screenHeight = 480;
    bool m_portraitForm = false;
    // The way the user turned the phone with 1-4; tilting with [ and ] leaves it alone.
    int m_heldTurns = 0;
    std::string m_title;
    // What the title was last made from.
    struct TitleState {
        std::string picture;
        float pitch = 0;
        double zoom = 1;
        int pictureTurns = 0;
        bool background = false;
        bool operator==(const TitleState&) const = default;
    };
    std::optional<TitleState> m_titleState;
    bool m_keyListShown = false;
    // A short line over the view (a picture saved), never in the phone's screen.
    std::string m_notice;
    std::chrono::steady_clock::time_point m_noticeUntil;
    SDL_Texture* m_pNotice = nullptr;

    float m_pitch = -90.0f;
    bool m_background = false;

    // The left button or the first finger on a touch screen is the phone's finger; the
    // other waits until it lifts. Moves are gathered and sent once per batch of events.
    enum class FingerBy { Mouse, Touch };
    bool m_fingerDown = false;
    FingerBy m_fingerBy = FingerBy::Mouse;
    std::int64_t m_touchId = 0;     // the touch screen and its finger that hold the phone's finger
    std::int64_t m_touchFinger = 0;
    bool m_moveQueued = false;
    Point m_finger;
    // Where the finger is, in continuous screen pixels; with Shift it moves a tenth as far
    // as the mouse, so it is kept apart from the mouse.
    device::PointD m_fingerAt;
    device::PointD m_mouseAt;

    device::Aim m_aim;
    bool m_aimChanged = false;
    bool m_panning = false;
    Point m_panFrom;
    bool m_wholePicture = false;
    // R turns the picture in quarter turns, as if the object were turned in front of the
    // phone; a new picture keeps the turn.
    int m_pictureTurns = 0;
    std::string m_picture;
    // N or P still looking for a picture it can show, a slice at each turn of the loop.
    std::unique_ptr<PictureStep> m_step;

    // What was read from the settings file at the start, and whether it may be replaced.
    struct Remembered;
    std::shared_ptr<Remembered> m_remembered;

    // Where the needles lie, for E and C: it watches every touch from the start.
    std::unique_ptr<edges::NeedleWatch> m_pNeedles = std::make_unique<edges::NeedleWatch>(m_device);
    // E and C search beside the window, which keeps drawing; one search at a time. What it
    // posts back is carried out only while the window lives.
    struct Joining {
        std::thread thread;
        ~Joining()
        {
            if (thread.joinable()) {
                thread.join();
            }
        }
    };
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
    bool m_searching = false;
    Joining m_search;
};

} // namespace sdl
