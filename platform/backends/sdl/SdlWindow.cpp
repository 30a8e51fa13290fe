// The SDL2 window: waits for desktop events and the device's timers in one place, shows the
// screen turned as the phone is held, and maps mouse and keys back onto the phone.
#include "sdl/SdlWindow.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "codec/ImageCodec.h"
#include "device/Device.h"

// Last: SDL_syswm.h brings Xlib's macros (None, Status, ...) that nothing above should see.
#include <SDL.h>
#include <SDL_syswm.h>

namespace sdl {

const char* const kKeyHelp =
    "in the window:\n"
    "  left mouse button    the finger: press, drag and release on the phone's screen\n"
    "  1 2 3 4              hold the phone: landscape (pitch -90), portrait (0),\n"
    "                       landscape turned over (+90), portrait upside down (180)\n"
    "  [ ]                  tilt the phone 5 degrees back / forward\n"
    "  arrow keys           aim the camera (with Shift: small steps)\n"
    "  right button drag    move the camera's picture\n"
    "  wheel, + -           zoom the camera in / out (1x to 8x)\n"
    "  0                    the camera's whole picture again\n"
    "  B F                  send the application to the background / bring it back\n"
    "  S                    save the screen as veltora-DATE-TIME.png in the current folder\n"
    "  H, F1                print this list\n"
    "  Q, Escape            quit (closing the window quits too)\n";

namespace {

constexpr float kPitchStep = 5.0f;
constexpr int kPanStep = 40;       // screen pixels per arrow key
constexpr int kFinePanStep = 5;    // with Shift
constexpr double kZoomStep = 1.189207115002721; // 2^(1/4): four steps double the zoom
constexpr double kMinZoom = 1.0;
constexpr double kMaxZoom = 8.0;
constexpr int kMaxShrink = 8;
// At zoom 1 the camera's picture covers the landscape screen.
constexpr double kPictureWidth = device::Display::kLongSide;
constexpr double kPictureHeight = device::Display::kShortSide;

// Pitch in (-180, 180], the range the tilt sensor reports.
float WrapPitch(float pitch)
{
    double r = std::fmod(static_cast<double>(pitch) + 180.0, 360.0);
    if (r <= 0.0) {
        r += 360.0;
    }
    return static_cast<float>(r - 180.0);
}

std::string FormatNumber(double value, const char* format)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

bool DisplayMissing()
{
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (!x || !*x) && (!wayland || !*wayland);
}

} // namespace

int QuarterTurnsForPitch(float pitch)
{
    if (!std::isfinite(pitch)) {
        return 0;
    }
    // -90 shows the screen as it is; each further quarter of pitch turns it a quarter clockwise.
    const long q = std::lround((static_cast<double>(WrapPitch(pitch)) + 90.0) / 90.0);
    return static_cast<int>(((q % 4) + 4) % 4);
}

std::unique_ptr<Window> Window::Open(device::Device& device, const Options& options, std::string& reason)
{
    if (device.Loop().Clock() != device::ClockKind::Real) {
        reason = "the window needs the device's real clock";
        return nullptr;
    }
    if (options.shrink < 0 || options.shrink > kMaxShrink) {
        reason = "the window's shrink must be 0 (fit the desktop) to " + std::to_string(kMaxShrink);
        return nullptr;
    }
    // The launcher watches SIGINT and SIGTERM itself and ends the run through the device.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The screen is copied straight into the window: a GL texture in between only costs
    // threads and time, above all where GL is drawn in software.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Without a desktop SDL would settle for a driver that draws nowhere (offscreen, dummy):
    // those only when the user names one in SDL_VIDEODRIVER.
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool driverChosen = chosen && *chosen;
    if (!driverChosen && DisplayMissing()) {
        reason = "cannot open a window: no display (DISPLAY is not set; --headless runs without one)";
        return nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driverChosen && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        reason = std::string("cannot open a window: no display to show it on (SDL fell back to its ") + driver +
                 " driver)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    const Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<Uint32>(-1)) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }

    std::unique_ptr<Window> window(new Window(device, options));
    window->m_wakeEventType = wakeType;
    // The application has not built its form yet: the screen is landscape for now.
    const bool sideways = window->m_turns % 2 == 1;
    const int viewW = sideways ? device::Display::kShortSide : device::Display::kLongSide;
    const int viewH = sideways ? device::Display::kLongSide : device::Display::kShortSide;
    window->m_shrink = window->ShrinkFor(viewW, viewH);
    window->m_shrinkForWidth = viewW;
    window->m_shrinkForHeight = viewH;
    window->m_windowWidth = viewW / window->m_shrink;
    window->m_windowHeight = viewH / window->m_shrink;
    window->m_pWindow = SDL_CreateWindow("Veltora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         window->m_windowWidth, window->m_windowHeight, SDL_WINDOW_SHOWN);
    if (!window->m_pWindow) {
        reason = std::string("cannot open a window: ") + SDL_GetError();
        return nullptr; // the destructor shuts SDL's video down again
    }
    window->UpdateTitle();
    window->WatchConnection();
    device.Loop().SetWaiter(window.get());
    return window;
}

Window::Window(device::Device& device, const Options& options) : m_device(device), m_options(options)
{
    const float pitch = device.Tilt().Pitch();
    m_pitch = std::isfinite(pitch) ? WrapPitch(pitch) : -90.0f;
    m_turns = QuarterTurnsForPitch(m_pitch);
}

void Window::WatchConnection()
{
    // On X11 the window waits on the X connection and an eventfd itself. SDL's own wait
    // wakes through a second X connection that sends the window a message, and a message
    // still on its way when the window closes fails, which Xlib answers by exiting.
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(m_pWindow, &info) || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) {
        return;
    }
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd >= 0) {
        m_xFd = ConnectionNumber(info.info.x11.display);
    }
#endif
}

Window::~Window()
{
    // Once this returns no thread calls Wake any more: the loop holds its lock while waking.
    m_device.Loop().SetWaiter(nullptr);
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
    if (m_pWindow) {
        SDL_DestroyWindow(m_pWindow);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

void Window::Run()
{
    m_device.Loop().RunUntil(device::kForever);
}

void Window::Wake()
{
    // The event thread posts only between waits, and the loop looks at its queue again
    // before it waits: only other threads need to wake it.
    if (std::this_thread::get_id() == m_eventThread.load()) {
        return;
    }
    if (m_wakeFd >= 0) {
        // An eventfd keeps count, so a wake that comes just before the poll is not lost.
        const std::uint64_t one = 1;
        const ssize_t written = write(m_wakeFd, &one, sizeof one);
        (void)written; // only fails when the count is already huge, which wakes the poll too
        return;
    }
    // One wake event in the queue is enough; posts come far faster than the queue drains.
    if (m_wakePending.exchange(true)) {
        return;
    }
    SDL_Event event{};
    event.type = m_wakeEventType;
    if (SDL_PushEvent(&event) <= 0) {
        m_wakePending.store(false);
    }
}

bool Window::HandlePending()
{
    SDL_Event event;
    bool any = false;
    while (SDL_PollEvent(&event)) {
        Handle(event);
        any = true;
    }
    if (any) {
        FlushInput();
    }
    return any;
}

void Window::WaitUntil(device::Micros deadline, device::Micros now)
{
    m_eventThread.store(std::this_thread::get_id());
    Refresh();
    int timeoutMs = -1;
    if (deadline != device::kForever) {
        // Rounded up, so the loop wakes at or just after its deadline and never spins.
        const device::Micros ms = deadline <= now ? 0 : (deadline - now + 999) / 1000;
        timeoutMs = static_cast<int>(std::min<device::Micros>(ms, INT_MAX));
    }
    // Events that came in meanwhile go first; the loop then runs what they posted.
    if (HandlePending()) {
        return;
    }
    if (m_xFd >= 0) {
        // SDL_PollEvent has just emptied Xlib's queue too, so the connection's socket
        // is all there is to watch for desktop events.
        pollfd fds[2] = {{m_xFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t count = 0;
            const ssize_t got = read(m_wakeFd, &count, sizeof count);
            (void)got; // nonblocking: nothing to read is fine
        }
        HandlePending();
        return;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeoutMs)) {
        Handle(event);
        HandlePending();
        FlushInput();
    }
}

int Window::Turns() const
{
    // A portrait form is made to be read upright whichever way the phone is held.
    return m_portraitForm ? 0 : QuarterTurnsForPitch(m_pitch);
}

int Window::ShrinkFor(int viewWidth, int viewHeight) const
{
    if (m_options.shrink > 0) {
        return m_options.shrink;
    }
    int display = m_pWindow ? SDL_GetWindowDisplayIndex(m_pWindow) : 0;
    if (display < 0) {
        display = 0;
    }
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
        return 1;
    }
    int n = 1;
    while (n < kMaxShrink && (viewWidth / n > usable.w || viewHeight / n > usable.h)) {
        n++;
    }
    return n;
}

void Window::Refresh()
{
    device::Display& screen = m_device.GetDisplay();
    const bool portrait = screen.Portrait();
    if (portrait != m_portraitForm) {
        m_portraitForm = portrait;
        m_mustPresent = true;
    }
    if (Turns() != m_turns || screen.Version() != m_shownVersion) {
        m_mustPresent = true;
    }
    if (m_mustPresent) {
        Present();
    }
    UpdateTitle();
}

void Window::Present()
{
    m_mustPresent = false;
    device::Display& screen = m_device.GetDisplay();
    m_shownVersion = screen.Version();
    const device::PixelView shot = screen.Compose();
    m_screenWidth = shot.width;
    m_screenHeight = shot.height;
    m_turns = Turns();

    const int W = shot.width;
    const int H = shot.height;
    const bool sideways = m_turns % 2 == 1;
    const int viewW = sideways ? H : W;
    const int viewH = sideways ? W : H;
    m_view.resize(static_cast<size_t>(viewW) * viewH);
    for (int sy = 0; sy < H; sy++) {
        const std::uint32_t* row = shot.Row(sy);
        for (int sx = 0; sx < W; sx++) {
            int vx = sx, vy = sy;
            switch (m_turns) {
            case 1: vx = H - 1 - sy; vy = sx; break;         // turned clockwise
            case 2: vx = W - 1 - sx; vy = H - 1 - sy; break; // upside down
            case 3: vx = sy; vy = W - 1 - sx; break;         // turned counter-clockwise
            default: break;
            }
            m_view[static_cast<size_t>(vy) * viewW + vx] = row[sx];
        }
    }

    // The desktop's size is asked for only when the view turns or the display changes.
    if (viewW != m_shrinkForWidth || viewH != m_shrinkForHeight) {
        m_shrinkForWidth = viewW;
        m_shrinkForHeight = viewH;
        m_shrink = ShrinkFor(viewW, viewH);
    }
    const int outW = viewW / m_shrink;
    const int outH = viewH / m_shrink;
    const std::uint32_t* out = m_view.data();
    if (m_shrink > 1) {
        // Each window pixel is the average of the block of screen pixels it stands for.
        const int n = m_shrink;
        m_small.resize(static_cast<size_t>(outW) * outH);
        for (int oy = 0; oy < outH; oy++) {
            for (int ox = 0; ox < outW; ox++) {
                std::uint32_t a = 0, r = 0, g = 0, b = 0;
                for (int dy = 0; dy < n; dy++) {
                    const std::uint32_t* p = &m_view[static_cast<size_t>(oy * n + dy) * viewW + ox * n];
                    for (int dx = 0; dx < n; dx++) {
                        a += p[dx] >> 24;
                        r += (p[dx] >> 16) & 0xFF;
                        g += (p[dx] >> 8) & 0xFF;
                        b += p[dx] & 0xFF;
                    }
                }
                const std::uint32_t c = static_cast<std::uint32_t>(n * n);
                m_small[static_cast<size_t>(oy) * outW + ox] = (a / c) << 24 | (r / c) << 16 | (g / c) << 8 | (b / c);
            }
        }
        out = m_small.data();
    }

    if (outW != m_windowWidth || outH != m_windowHeight) {
        Resize(outW, outH);
    }

    SDL_Surface* surface = SDL_GetWindowSurface(m_pWindow);
    if (!surface) {
        static bool told = false;
        if (!told) {
            told = true;
            std::fprintf(stderr, "veltora: cannot draw into the window: %s\n", SDL_GetError());
        }
        return;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return;
    }
    // A window manager may keep the window at another size for a moment: the rest is black.
    if (surface->w != outW || surface->h != outH) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    }
    const int copyW = std::min(outW, surface->w);
    const int copyH = std::min(outH, surface->h);
    if (copyW > 0 && copyH > 0) {
        SDL_ConvertPixels(copyW, copyH, SDL_PIXELFORMAT_ARGB8888, out, outW * 4, surface->format->format,
                          surface->pixels, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurface(m_pWindow);
}

void Window::Resize(int width, int height)
{
    // The window turns about its centre, as the phone would, and stays on the desktop.
    int x = 0, y = 0;
    SDL_GetWindowPosition(m_pWindow, &x, &y);
    x += (m_windowWidth - width) / 2;
    y += (m_windowHeight - height) / 2;
    int display = SDL_GetWindowDisplayIndex(m_pWindow);
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) == 0) {
        x = std::max(usable.x, std::min(x, usable.x + usable.w - width));
        y = std::max(usable.y, std::min(y, usable.y + usable.h - height));
    }
    m_windowWidth = width;
    m_windowHeight = height;
    SDL_SetWindowSize(m_pWindow, width, height);
    SDL_SetWindowPosition(m_pWindow, x, y);
}

void Window::UpdateTitle()
{
    // Plain ASCII: SDL converts titles through the C library's locale, which is "C" here,
    // and a title it cannot convert never reaches the window manager.
    std::string title = "Veltora - pitch " + FormatNumber(m_pitch, "%g") + " deg";
    if (m_aim.zoom > 1.0 + 1e-9) {
        title += " - zoom " + FormatNumber(m_aim.zoom, "%.1f") + "x";
    }
    if (m_background) {
        title += " - in the background";
    }
    if (m_shrink > 1) {
        title += " - shown 1:" + std::to_string(m_shrink);
    }
    title += " - H lists the keys";
    if (title != m_title) {
        m_title = title;
        SDL_SetWindowTitle(m_pWindow, m_title.c_str());
    }
}

Window::Point Window::WindowToScreen(int wx, int wy) const
{
    const int W = m_screenWidth;
    const int H = m_screenHeight;
    const bool sideways = m_turns % 2 == 1;
    const int viewW = sideways ? H : W;
    const int viewH = sideways ? W : H;
    // The middle of the block a shrunk window pixel stands for; a finger dragged off the
    // window stays on the screen's edge, as it would on the glass.
    const int vx = std::clamp(wx * m_shrink + m_shrink / 2, 0, viewW - 1);
    const int vy = std::clamp(wy * m_shrink + m_shrink / 2, 0, viewH - 1);
    switch (m_turns) {
    case 1: return {vy, H - 1 - vx};
    case 2: return {W - 1 - vx, H - 1 - vy};
    case 3: return {W - 1 - vy, vx};
    default: return {vx, vy};
    }
}

void Window::Handle(const SDL_Event& event)
{
    if (event.type == m_wakeEventType) {
        m_wakePending.store(false);
        return;
    }
    switch (event.type) {
    case SDL_QUIT:
        m_device.RequestTermination();
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            m_mustPresent = true;
            break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            m_mustPresent = true;
            m_shrinkForWidth = 0; // another desktop may want another shrink
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // A finger does not stay on the glass while the user is in another window.
            LiftFinger();
            m_panning = false;
            break;
        default:
            break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && !m_fingerDown) {
            FlushInput();
            m_finger = WindowToScreen(event.button.x, event.button.y);
            m_fingerDown = true;
            m_device.PostTouch(device::Device::TouchPhase::Press, m_finger.x, m_finger.y);
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_panning = true;
            m_panFrom = {event.button.x, event.button.y};
        }
        break;
    case SDL_MOUSEMOTION:
        if (m_fingerDown) {
            const Point p = WindowToScreen(event.motion.x, event.motion.y);
            if (p.x != m_finger.x || p.y != m_finger.y) {
                m_finger = p;
                m_moveQueued = true;
            }
        }
        if (m_panning) {
            // The picture follows the mouse, so the camera turns the other way.
            PanBy(-static_cast<double>(event.motion.x - m_panFrom.x) * m_shrink,
                  -static_cast<double>(event.motion.y - m_panFrom.y) * m_shrink);
            m_panFrom = {event.motion.x, event.motion.y};
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && m_fingerDown) {
            m_finger = WindowToScreen(event.button.x, event.button.y);
            LiftFinger();
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            m_panning = false;
        }
        break;
    case SDL_MOUSEWHEEL: {
        float steps = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            steps = -steps;
        }
        if (steps != 0.0f) {
            Point mouse;
            SDL_GetMouseState(&mouse.x, &mouse.y);
            ZoomBy(std::pow(kZoomStep, static_cast<double>(steps)), &mouse);
        }
        break;
    }
    case SDL_KEYDOWN:
        HandleKey(event);
        break;
    case SDL_DISPLAYEVENT:
        m_shrinkForWidth = 0;
        m_mustPresent = true;
        break;
    default:
        break;
    }
}

void Window::HandleKey(const SDL_Event& event)
{
    const SDL_Keycode key = event.key.keysym.sym;
    const bool repeat = event.key.repeat != 0;
    const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
    const double pan = shift ? kFinePanStep : kPanStep;
    switch (key) {
    // Keys that step may repeat while held.
    case SDLK_LEFTBRACKET: SetPitch(m_pitch - kPitchStep); return;
    case SDLK_RIGHTBRACKET: SetPitch(m_pitch + kPitchStep); return;
    case SDLK_LEFT: PanBy(-pan, 0); return;
    case SDLK_RIGHT: PanBy(pan, 0); return;
    case SDLK_UP: PanBy(0, -pan); return;
    case SDLK_DOWN: PanBy(0, pan); return;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS: ZoomBy(kZoomStep, nullptr); return;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: ZoomBy(1.0 / kZoomStep, nullptr); return;
    default: break;
    }
    if (repeat) {
        return;
    }
    switch (key) {
    case SDLK_1:
    case SDLK_KP_1: SetPitch(-90.0f); break;
    case SDLK_2:
    case SDLK_KP_2: SetPitch(0.0f); break;
    case SDLK_3:
    case SDLK_KP_3: SetPitch(90.0f); break;
    case SDLK_4:
    case SDLK_KP_4: SetPitch(180.0f); break;
    case SDLK_0:
    case SDLK_KP_0: SetAim(device::Aim{}); break;
    case SDLK_b:
        // A phone tells an application it went to the background once, not twice in a row.
        if (!m_background) {
            m_background = true;
            m_device.PostBackground();
        }
        break;
    case SDLK_f:
        if (m_background) {
            m_background = false;
            m_device.PostForeground();
        }
        break;
    case SDLK_s: TakeScreenshot(); break;
    case SDLK_h:
    case SDLK_F1:
        std::fputs(kKeyHelp, stdout);
        std::fflush(stdout);
        break;
    case SDLK_q:
    case SDLK_ESCAPE: m_device.RequestTermination(); break;
    default: break;
    }
}

void Window::FlushInput()
{
    if (m_moveQueued) {
        m_moveQueued = false;
        m_device.PostTouch(device::Device::TouchPhase::Move, m_finger.x, m_finger.y);
    }
    if (m_aimChanged) {
        m_aimChanged = false;
        m_device.PostAim(m_aim);
    }
}

void Window::LiftFinger()
{
    if (!m_fingerDown) {
        return;
    }
    FlushInput();
    m_fingerDown = false;
    m_device.PostTouch(device::Device::TouchPhase::Release, m_finger.x, m_finger.y);
}

void Window::SetPitch(float pitch)
{
    m_pitch = WrapPitch(pitch);
    m_device.PostPitch(m_pitch);
}

void Window::PanBy(double viewDx, double viewDy)
{
    // The camera's picture lies on the landscape screen; with a portrait form up it is not
    // on show, and aiming blind would only surprise the user later.
    if (m_portraitForm) {
        return;
    }
    // A step seen in the window is a step on the screen turned back.
    double dx = viewDx, dy = viewDy;
    switch (m_turns) {
    case 1: dx = viewDy; dy = -viewDx; break;
    case 2: dx = -viewDx; dy = -viewDy; break;
    case 3: dx = -viewDy; dy = viewDx; break;
    default: break;
    }
    device::Aim aim = m_aim;
    aim.centerX += dx / (kPictureWidth * aim.zoom);
    aim.centerY += dy / (kPictureHeight * aim.zoom);
    SetAim(aim);
}

void Window::ZoomBy(double factor, const Point* windowPoint)
{
    if (m_portraitForm) {
        return;
    }
    device::Aim aim = m_aim;
    aim.zoom = std::clamp(m_aim.zoom * factor, kMinZoom, kMaxZoom);
    if (windowPoint) {
        // The point of the picture under the mouse stays under it.
        const Point s = WindowToScreen(windowPoint->x, windowPoint->y);
        const double offX = (s.x + 0.5 - kPictureWidth / 2) / kPictureWidth;
        const double offY = (s.y + 0.5 - kPictureHeight / 2) / kPictureHeight;
        aim.centerX = m_aim.centerX + offX / m_aim.zoom - offX / aim.zoom;
        aim.centerY = m_aim.centerY + offY / m_aim.zoom - offY / aim.zoom;
    }
    SetAim(aim);
}

void Window::SetAim(device::Aim aim)
{
    aim.zoom = std::clamp(aim.zoom, kMinZoom, kMaxZoom);
    // Any point of the picture can be brought to the middle, so a corner near a photo's
    // edge can still be put under the dial's hub (what lies past the edge shows black);
    // beyond that no distance piles up that the user would have to pan back first.
    aim.centerX = std::clamp(aim.centerX, 0.0, 1.0);
    aim.centerY = std::clamp(aim.centerY, 0.0, 1.0);
    if (aim == m_aim) {
        return;
    }
    m_aim = aim;
    m_aimChanged = true;
}

void Window::TakeScreenshot()
{
    char stamp[32];
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = std::string("veltora-") + stamp + ".png";
    // Never overwrite: several shots in one second get a counter.
    std::error_code ec;
    for (int i = 2; std::filesystem::exists(name, ec); i++) {
        name = std::string("veltora-") + stamp + "-" + std::to_string(i) + ".png";
    }
    std::string reason;
    const device::PixelView shot = m_device.GetDisplay().Compose();
    if (codec::WritePngFile(name, shot.pixels, shot.width, shot.height, shot.stride, reason)) {
        std::printf("%s\n", name.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "veltora: cannot save the screenshot %s: %s\n", name.c_str(), reason.c_str());
    }
}

} // namespace sdl
