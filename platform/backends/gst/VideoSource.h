// A camera fed by GStreamer: a video file played one frame per preview frame and looped, or a
// webcam (or any live GStreamer source) showing its newest picture. Both share one pipeline shape.
#pragma once

#include "device/CameraSource.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gst {

// How long the source waits for GStreamer.
struct VideoTiming {
    // Opening fails when no first picture arrives within this.
    std::chrono::milliseconds open{5000};
    // A live source that sends no new picture for this long has failed (a webcam that
    // stopped without saying so).
    std::chrono::milliseconds stall{5000};
    // A file's next frame is awaited this long; if decoding falls behind the last frame is
    // shown again and the video continues from where it was on the next preview frame.
    std::chrono::milliseconds nextFrame{1000};
};

class VideoSource final : public device::CameraSource {
public:
    enum class Kind {
        // A video file path; any container and codec GStreamer can play.
        File,
        // A video-for-Linux device such as /dev/video0.
        Webcam,
        // A camera of libcamera (a phone's or a tablet's sensor behind an ISP), by its
        // libcamera name; an empty name takes the first camera libcamera finds.
        Libcamera,
        // A gst-launch description of a live source, e.g. "videotestsrc is-live=true":
        // handled exactly as a webcam, for tests and trials without a camera.
        LiveDescription,
    };

    VideoSource(Kind kind, std::string location, VideoTiming timing = {});
    ~VideoSource() override;
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    // "video NAME" (the file's name), "webcam /dev/videoN", "libcamera camera NAME" or
    // "live source DESCRIPTION".
    std::string Describe() const override;

    // Builds and starts the pipeline and waits for its first picture. Fails within the open
    // timeout with a one-line reason: a missing file or device, no video in the file, or
    // GStreamer's own error text.
    bool Open(std::string& reason) override;
    void Close() override;

    // A file moves on one frame whenever the time differs from the last call's, and starts
    // over after its last frame; a live source shows its newest picture. Returns false with
    // the reason once the pipeline reports an error or a live source ends or stalls.
    // Not thread-safe, like the device that calls it; GStreamer's threads never call out.
    bool Render(std::int64_t timeUs, const device::PixelView& out, std::string& reason) override;
    void SetAim(const device::Aim& aim) override;
    // The size of the picture shown last as it is seen (wide pixels widen it); 0 x 0 before
    // the first picture.
    device::FrameSize PictureSize() const override;
    // A copy of the picture shown last, at the size it is seen.
    bool SeePicture(std::int64_t timeUs, const std::function<void(const device::PixelView&)>& look) override;

    // A file's frame on show, paused or stepped (a live source has none and cannot pause).
    // Steps and `ShowFrame` wait for GStreamer (at most the next-frame timeout a frame).
    std::optional<device::FrameTime> ShownFrame() const override;
    bool Paused() const override;
    bool Play(device::Playback what, std::string& reason) override;
    bool ShowFrame(std::int64_t index, std::string& reason) override;

private:
    struct Pipeline;

    bool Fail(std::string why, std::string& reason);
    // Frame `index` on show; false with `frames` the count (0: unknown) when it is past the end,
    // -1 for any other reason.
    bool Go(std::int64_t index, std::int64_t& frames, std::string& reason);

    Kind m_kind;
    std::string m_location;
    VideoTiming m_timing;
    device::Aim m_aim;
    std::unique_ptr<Pipeline> m_pPipeline;
    std::string m_failure;
};

} // namespace gst
