// Opening pictures from the window without restarting: a file dropped onto it, or the next
// and previous picture in the same folder (N, P). The sources come from the launcher.
#include "sdl/SdlPictures.h"

#include <cstdio>

#include "device/Device.h"
#include "sdl/Aimer.h"
#include "sdl/PictureStep.h"
#include "sdl/WindowParts.h"
#include "text/Printable.h"

namespace sdl {

using namespace detail;

Pictures::Pictures(device::Device& device, const Options& options, Aimer& aimer)
    : m_device(device), m_options(options), m_aimer(aimer), m_picture(options.picture)
{}

Pictures::~Pictures() = default;

bool Pictures::TryPicture(const std::string& path, std::string& reason)
{
    std::unique_ptr<device::CameraSource> source = m_options.openPicture(path);
    if (!source) {
        reason = "not a picture";
        return false;
    }
    if (!source->Open(reason)) {
        return false;
    }
    // The camera opens it again when it next takes a frame, so nothing is held twice.
    source->Close();
    m_device.Camera().SetSource(std::move(source));
    m_picture = path;
    m_aimer.NewPicture();
    std::printf("showing %s\n", text::Printable(path).c_str());
    std::fflush(stdout);
    return true;
}

void Pictures::OpenPicture(const std::string& path)
{
    if (!m_options.openPicture) {
        Say(m_device, "this window cannot open pictures");
        return;
    }
    // The user chose a picture: a step still looking for one has nothing more to do.
    EndStep();
    std::string reason;
    if (!TryPicture(path, reason)) {
        Say(m_device,
            "cannot show " + text::Printable(path) + ": " + text::Printable(reason) + "; the camera keeps its picture");
    }
}

void Pictures::StepPicture(int direction)
{
    if (!m_options.openPicture) {
        Say(m_device, "this window cannot open pictures");
        return;
    }
    if (m_step) {
        // Pressed again while still looking that way: the step goes on; the other way
        // starts afresh from the picture on show.
        if (m_step->Direction() == direction) {
            return;
        }
        EndStep();
    }
    auto step = std::make_unique<PictureStep>(m_picture, direction);
    std::string message;
    if (!step->Start(message)) {
        Say(m_device, text::Printable(message));
        return;
    }
    m_step = std::move(step);
    ContinueStep();
}

void Pictures::ContinueStep()
{
    if (!m_step) {
        return;
    }
    const PictureStep::State state = m_step->Continue(
        [this](const std::string& path, std::string& reason) { return TryPicture(path, reason); }, kStepSlice);
    if (state == PictureStep::State::NoneShown) {
        Say(m_device, text::Printable(m_step->NoneShownMessage()));
        m_step.reset();
    } else if (state == PictureStep::State::Shown) {
        EndStep();
    }
}

void Pictures::EndStep()
{
    if (!m_step) {
        return;
    }
    // One line for everything passed over, however many files that was.
    if (const std::string skipped = m_step->Skipped(); !skipped.empty()) {
        Say(m_device, text::Printable(skipped));
    }
    m_step.reset();
}

} // namespace sdl
