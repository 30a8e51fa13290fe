// Where the simulated phone's camera gets its pictures: a demo scene, a photo, a video, a webcam.
// Sources live in backends; the device core sees only this interface and never a source's library.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/Pixels.h"

namespace device {

// Aiming: which part of the source's picture fills the frame, as a user moves the phone
// to bring an angle's corner under the dial. At zoom 1 the picture is scaled just enough to
// cover the frame; a larger zoom magnifies, a smaller one shows it whole with black beside it. (centerX, centerY) is the point
// of the picture, in fractions of its width and height, that lands at the frame's centre.
struct Aim {
    double zoom = 1.0;
    double centerX = 0.5;
    double centerY = 0.5;
    bool operator==(const Aim&) const = default;
};

// Where the frame on show lies in a recording: its number from the start (0-based) and its
// time in the recording. The time is the recording's own stamp; where the stamps cannot be
// trusted (missing, repeated, going backwards) it is the frame's number over the frame rate,
// and `stamped` says so.
struct FrameTime {
    std::int64_t index = 0;
    std::int64_t timeUs = 0;
    bool stamped = true;
    bool operator==(const FrameTime&) const = default;
};

// What a person does to a recording besides watching it play.
enum class Playback { Pause, Play, Toggle, Forward, Back };
// Why a camera that shows no recording does nothing of the kind.
inline const char* OnlyAVideo(Playback what)
{
    return what == Playback::Forward || what == Playback::Back ? "only a video can step a frame"
                                                               : "only a video can pause";
}

class CameraSource {
public:
    virtual ~CameraSource() = default;

    // Names the source in log lines, e.g. "demo scene" or "photo holiday.jpg".
    virtual std::string Describe() const = 0;

    // Prepares the source; on failure returns false and a one-line reason.
    virtual bool Open(std::string& reason) = 0;
    virtual void Close() {}

    // The preview resolutions, in the camera's own order. They are the sensor's
    // (CameraSensor::PreviewSizes) whatever it looks at; a source that stands for a camera
    // of another make (a test's, say) may offer others, or none.
    virtual std::vector<FrameSize> Resolutions() const;

    // Fills every pixel of `out` with the picture at device time `timeUs`
    // (microseconds since the device started). Returns false with a reason when
    // the source has failed for good (the device then falls back to the demo scene).
    virtual bool Render(std::int64_t timeUs, const PixelView& out, std::string& reason) = 0;

    // Brings `out`, which holds the frame this source drew into it last, up to `timeUs`,
    // and says where the picture changed (empty: it is the same picture). A source that
    // knows which part of its picture moves draws only that; any other draws it all.
    virtual bool Update(std::int64_t timeUs, const PixelView& out, PixelRect& changed, std::string& reason)
    {
        changed = {};
        if (!Render(timeUs, out, reason)) {
            return false;
        }
        changed = {0, 0, out.width, out.height};
        return true;
    }

    // Draws the picture at `timeUs` about the point (centerX, centerY), in fractions of the
    // picture, which lands at the middle of `out`, `scale` pixels of `out` to a picture pixel
    // (a loupe: at any magnification, from the picture's own pixels). False with a reason
    // when the source cannot; it then shows only whole frames.
    virtual bool RenderDetail(std::int64_t timeUs, const PixelView& out, double centerX, double centerY, double scale,
                              std::string& reason)
    {
        (void)timeUs, (void)out, (void)centerX, (void)centerY, (void)scale;
        reason = "this camera shows no detail";
        return false;
    }

    // Sources that can be aimed (all of ours) apply it from the next Render on; the
    // device keeps the aim within the bounds of ClampAim (device/Aiming.h).
    virtual void SetAim(const Aim& aim) { (void)aim; }

    // The picture's own size as it is seen (square pixels), which aiming moves over; 0 x 0
    // when unknown or not open, and then taken to have the frame's shape.
    virtual FrameSize PictureSize() const { return {}; }

    // Lends the picture the camera looks at, whole, unaimed and at its own resolution
    // (PictureSize, square pixels), to `look` for the length of the call; what is found in
    // it is found in what the user sees. False, without calling `look`, when there is none.
    virtual bool SeePicture(std::int64_t timeUs, const std::function<void(const PixelView&)>& look)
    {
        (void)timeUs;
        (void)look;
        return false;
    }

    // The frame on show, for a source that plays a recording; none for a live camera, a photo
    // or a drawn scene, whose pictures have no time of their own.
    virtual std::optional<FrameTime> ShownFrame() const { return std::nullopt; }
    // Whether a recording stays on the frame it shows.
    virtual bool Paused() const { return false; }

    // Pauses, plays or steps a recording (a step pauses it first); false with the reason when
    // the source has no recording to pause, or the step cannot be made.
    virtual bool Play(Playback what, std::string& reason)
    {
        reason = OnlyAVideo(what);
        return false;
    }
    // Shows frame `index` (0-based) of a recording, paused there; false with the reason when
    // the recording has no such frame or the source none.
    virtual bool ShowFrame(std::int64_t index, std::string& reason)
    {
        (void)index;
        reason = "only a video has frames to show";
        return false;
    }
};

} // namespace device
