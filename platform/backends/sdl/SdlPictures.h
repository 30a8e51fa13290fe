// The pictures the window shows: a file dropped onto it, the next and previous picture in the
// same folder (N, P), and which picture is on show, for the title and the next run.
#pragma once

#include <memory>
#include <string>

#include "sdl/WindowOptions.h"

namespace device {
class Device;
}

namespace sdl {

class Aimer;
class PictureStep;

class Pictures {
public:
    // Starts with the options' picture on show (empty: the demo scene).
    Pictures(device::Device& device, const Options& options, Aimer& aimer);
    ~Pictures();
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

    // The picture on show; empty for the demo scene.
    const std::string& Current() const { return m_picture; }
    // Whether N or P is still looking for a picture it can show, a slice at each turn of the loop.
    bool Stepping() const { return m_step != nullptr; }

    void OpenPicture(const std::string& path);
    // N (+1) and P (-1): pressed again the same way while still looking, the step goes on.
    void StepPicture(int direction);
    void ContinueStep();

private:
    bool TryPicture(const std::string& path, std::string& reason);
    void EndStep();

    device::Device& m_device;
    const Options& m_options;
    // A new picture starts with the aim at its middle.
    Aimer& m_aimer;

    std::string m_picture;
    std::unique_ptr<PictureStep> m_step;
};

} // namespace sdl
