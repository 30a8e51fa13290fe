// The phone's camera sensor: one picture source (with a fallback), aimed over its
// picture, rendering frames into a buffer it owns or straight into a target of its size.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "device/EventLoop.h"

namespace device {

class Device;

class CameraSensor {
public:
    explicit CameraSensor(Device& device);
    ~CameraSensor();
    CameraSensor(const CameraSensor&) = delete;
    CameraSensor& operator=(const CameraSensor&) = delete;

    // Opens the source on first use; a source that cannot be opened gives way to the
    // fallback with one notice. False when there is no picture at all.
    bool EnsureSource();
    CameraSource* Source() { return m_pSource.get(); }
    // The preview sizes the sensor offers, whichever source it looks at.
    static const std::vector<FrameSize>& PreviewSizes();
    // The sizes the application may choose from: the source's (the sensor's, unless the
    // source stands for another camera); none when there is no picture at all.
    std::vector<FrameSize> Resolutions();
    // Replaces the source (the window's camera menu, tests).
    void SetSource(std::unique_ptr<CameraSource> source);
    // Counts the sources the sensor has looked at: it moves whenever the source is replaced
    // or gives way to the fallback, so that what was found in one is not carried to another.
    std::uint64_t SourceGeneration() const { return m_generation; }

    // Watchers told, on the event thread and after the capture, that a capture drew a new
    // picture (not the same one again). Each watcher returns its id to unwatch.
    using PictureWatch = std::function<void()>;
    int WatchPictures(PictureWatch watch);
    void UnwatchPictures(int id);

    // The camera turns with the phone: its frames hold the picture turned back by the way
    // the phone is held (quarter turns, device/Holding.h), so that it looks upright to the
    // person holding it. The window says how it shows the phone; without it (no value),
    // the tilt sensor's pitch tells.
    void SetHeldTurns(std::optional<int> turns);
    int HeldTurns() const;
    // Turns what the camera looks at by quarter turns clockwise, as if the object were
    // turned in front of the phone. Aims are over the picture as turned.
    void SetPictureTurns(int turns);
    int PictureTurns() const { return m_pictureTurns; }

    // Aims the camera over its picture (as the user sees it, upright and turned by
    // PictureTurns), kept within ClampAim's bounds.
    void SetAim(const Aim& aim);
    const Aim& GetAim() const { return m_aim; }
    // Aims so that the picture point (fractions of the picture) is seen at `framePoint` of
    // a frame of `frame` size (the phone's frame, whichever way the phone is held), at
    // `zoom`; opens the source first to learn the picture's size.
    void AimAt(double zoom, PointD picturePoint, PointD framePoint, FrameSize frame);
    // The picture's size as the user sees it, turned by PictureTurns (0 x 0 when unknown).
    FrameSize PictureSize() const;

    // Renders the picture at `now` at the size `frameSize` and shows it in `target`,
    // scaled to cover it when the sizes differ; a failing source is replaced by the
    // fallback. False when the target did not get a new picture.
    bool Capture(Micros now, FrameSize frameSize, const PixelView& target);
    // The same for a target that still holds the picture the last capture put there: when
    // it is the last capture's target, only what changed since is drawn. `changed` tells
    // the part of the target that got new pixels (empty: the picture is the same).
    bool CaptureChanges(Micros now, FrameSize frameSize, const PixelView& target, PixelRect& changed);
    std::uint64_t FramesProduced() const { return m_framesProduced; }
    // When the picture on show was taken: what the user sees, the same picture however long
    // the preview stands still (held, say). None before the source's first picture.
    std::optional<Micros> LastPictureTime() const { return m_lastPictureUs; }

    // A recording paused, played, stepped or shown at a frame (CameraSource::Play and
    // ShowFrame); false with the reason when the camera has no recording or cannot.
    bool Play(Playback what, std::string& reason);
    bool ShowFrame(std::int64_t index, std::string& reason);
    // The frame of the recording on show; none for a camera that shows no recording.
    std::optional<FrameTime> ShownFrame() const;
    bool Paused() const { return m_pSource && m_opened && m_pSource->Paused(); }

    // The picture as the user sees it (upright, turned by PictureTurns) about a picture
    // point (fractions), at the middle of `out`, `scale` pixels of `out` to a pixel of the
    // picture: the source's own detail, for a loupe. False when the source shows no detail.
    bool RenderDetail(Micros now, const PixelView& out, PointD picturePoint, double scale);

private:
    bool SwitchToFallback(const std::string& why);
    // The aim handed to the source: the user's aim over the turned picture, turned back.
    Aim SourceAim() const;
    bool Take(Micros now, FrameSize frameSize, const PixelView& target, bool targetHoldsLast, PixelRect& changed);

    Device& m_device;
    std::unique_ptr<CameraSource> m_pSource;
    bool m_opened = false;
    bool m_triedFallback = false;
    Aim m_aim;
    std::optional<int> m_heldTurns;
    int m_pictureTurns = 0;
    std::vector<std::uint32_t> m_frame;
    bool m_frameFailureTold = false;
    std::uint64_t m_framesProduced = 0;
    std::optional<Micros> m_lastPictureUs;
    // Where the last capture drew, by the current source; invalid after a source change or
    // a capture that drew nothing.
    bool m_lastValid = false;
    PixelView m_lastTarget;
    FrameSize m_lastFrameSize;
    int m_lastTurns = 0;
    std::vector<std::uint32_t> m_detail;
    std::uint64_t m_generation = 0;
    std::map<int, PictureWatch> m_pictureWatches;
    int m_nextWatch = 1;
    void TellPictures() const;
};

} // namespace device
