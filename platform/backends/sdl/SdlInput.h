// The window's input handed to its parts: the left mouse button and a touch screen to the
// finger, the right button, the middle button and the wheel to the aimer, the keys to the key
// table; and what the keys do to the phone (turn, tilt, the life cycle).
#pragma once

#include <memory>

#include "sdl/KeyTable.h"

// SDL stays out of this header, so the launcher builds without SDL's include paths.
union SDL_Event;

namespace device {
class Device;
}

namespace sdl {

class Aimer;
class DesktopWait;
class EdgeSearch;
class Finger;
class Pictures;
class Presentation;
class Presenter;
class Screenshots;
namespace detail {
struct Held;
}

class Input final : private KeyTarget {
public:
    // The presenter is made after this: it is read through its handle.
    Input(device::Device& device, DesktopWait& wait, detail::Held& held, Finger& finger, Aimer& aimer,
          const std::unique_ptr<Presenter>& presenter, Presentation& presentation, Pictures& pictures,
          EdgeSearch& edges, Screenshots& screenshots);
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Hands on every event already waiting; true when there was one.
    bool HandlePending();
    void Handle(const SDL_Event& event);
    // Sends what the finger and the aimer gathered from a batch of events.
    void FlushInput();

private:
    void HandleMouse(const SDL_Event& event);
    void HandleKey(const SDL_Event& event);
    void ScrollPage(double steps);
    void SetPitch(float pitch);
    // What the keys do (the key table's actions).
    void TurnPhone(int turns, float pitch) override;
    void TiltBy(float degrees) override;
    void PanBy(double viewDx, double viewDy) override;
    void ZoomBy(double factor) override;
    void ToggleWholePicture() override;
    void TurnPicture() override;
    void StepPicture(int direction) override;
    void PlayVideo(int step) override;
    void LayAlongPicture(bool corner) override;
    void FollowCorner() override;
    void SendToBackground() override;
    void BringToForeground() override;
    void TakeScreenshot(bool asSeen) override;
    void ShowKeyList() override;
    void Quit() override;

    device::Device& m_device;
    DesktopWait& m_wait;
    detail::Held& m_held;
    Finger& m_finger;
    Aimer& m_aimer;
    const std::unique_ptr<Presenter>& m_presenter;
    Presentation& m_presentation;
    Pictures& m_pictures;
    EdgeSearch& m_edges;
    Screenshots& m_screenshots;
};

} // namespace sdl
