// The run: the options checked together, the phone set up, the application entered, and its
// outcome and everything the run wrote weighed into one exit code.
#include "Run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AppLibrary.h"
#include "CameraSources.h"
#include "Installation.h"
#include "Options.h"
#include "Signals.h"
#include "Tell.h"
#include "codec/ImageCodec.h"
#include "demo/DemoScene.h"
#include "device/Device.h"
#include "files/OutputPath.h"
#include "files/Settings.h"
#include "headless/Script.h"
#include "host/Host.h"
#include "iio/IioAccelerometer.h"
#include "sdl/SdlWindow.h"

namespace launcher {

namespace {

std::string ExeDir()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        return ".";
    }
    buf[n] = '\0';
    std::string path(buf);
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string DirOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// What the options settle beyond themselves, once they have been checked together.
struct Plan {
    headless::Script script;
    std::string appPath;
    std::string resDir;
    std::unique_ptr<iio::IioAccelerometer> tilt;
};

// The files this run reads and writes, checked together before any is opened.
bool CheckFiles(const Options& o, const Plan& plan, std::string& reason)
{
    outpath::RunFiles files;
    if (plan.tilt) {
        files.AddInputFolder(plan.tilt->Folder(), "a tilt sensor file");
    }
    files.AddInput(o.camera, "the camera picture");
    files.AddInput(o.scriptPath, "the script");
    files.AddInput(plan.appPath, "the application library");
    files.AddInput("/proc/self/exe", "the veltora program");
    files.AddInputFolder(plan.resDir, "a resource image");
    // The window reads it at the start and replaces it at the end: an output there would be
    // cut short at once and then replaced, both lost. Refused with or without a window.
    files.AddKept(outpath::SettingsPath(), "the settings file, where the window's place is remembered");
    if (!o.screenshot.empty()) {
        files.AddOutput(o.screenshot, outpath::Kind::Replaced, "screenshot", "screenshot");
    }
    for (const auto& c : plan.script.Commands()) {
        if (c.kind == headless::Command::Kind::Screenshot) {
            files.AddOutput(c.text, outpath::Kind::Replaced, "screenshot", "screenshot");
        }
    }
    if (!o.trace.empty()) {
        files.AddOutput(o.trace, outpath::Kind::Stream, "trace file", "trace");
    }
    if (!o.log.empty()) {
        files.AddOutput(o.log, outpath::Kind::Stream, "log file", "log");
    }
    return files.Check(reason);
}

// What tilts the phone. The default is the real sensor in the window, and the keys (the
// script's pitch lines) headless, where a run must come out the same on every machine.
// An accelerometer the user names must work; one that `auto` finds may fail and give way.
// False with a reason for bad use; a null source means the keys.
bool TiltFor(const Options& o, std::unique_ptr<iio::IioAccelerometer>& source, std::string& reason)
{
    const std::string choice = !o.tilt.empty() ? o.tilt : o.headless ? "keys" : "auto";
    if (choice == "keys") {
        return true;
    }
    if (choice == "auto") {
        const std::string dir = iio::FindAccelerometer();
        if (!dir.empty()) {
            source = iio::IioAccelerometer::Open(dir, o.tiltNatural, reason);
            if (!source) {
                Tell(reason + "; the keys tilt the phone");
            }
        }
        return true;
    }
    source = iio::IioAccelerometer::Open(iio::FolderFor(choice), o.tiltNatural, reason);
    return source != nullptr;
}

// Checks the options together and settles what they leave open. Returns -1 when the run is
// to go on, otherwise the exit code (with one line told).
int Prepare(Options& o, Plan& plan)
{
    if (!o.res.empty()) {
        struct stat st {};
        if (::stat(o.res.c_str(), &st) != 0) {
            return Fail("resource folder " + o.res + ": " + std::strerror(errno));
        }
        if (!S_ISDIR(st.st_mode)) {
            return Fail("resource folder " + o.res + " is not a folder");
        }
    }
    if (!o.scriptPath.empty()) {
        std::string error;
        if (!headless::Script::Load(o.scriptPath, plan.script, error)) {
            return Fail(error);
        }
    }
    const Layout installed = FindLayout(ExeDir());
    plan.appPath = o.app.empty() ? installed.app : o.app;
    // A library named on the command line brings its Res/ beside it, as on the phone.
    plan.resDir = !o.res.empty() ? o.res : o.app.empty() ? installed.res : DirOf(plan.appPath) + "/Res";
    if (std::string reason; !o.saveTo.empty() && !CheckSaveFolder(o.saveTo, reason)) {
        return Fail(reason);
    }
    // A script drives the phone itself: no window.
    if (!o.scriptPath.empty()) {
        o.headless = true;
    }
    if (o.fullscreen && o.headless) {
        return Fail("--fullscreen needs the window; it cannot go with --headless or --script");
    }
    if (o.fullscreen && o.shrink > 0) {
        return Fail("--fullscreen fills the display; it cannot go with --shrink");
    }
    if (std::string reason; !TiltFor(o, plan.tilt, reason)) {
        return Fail(reason);
    }
    if (std::string reason; !CheckFiles(o, plan, reason)) {
        return Fail(reason);
    }
    if (std::string reason; !o.log.empty() && !host::OpenLog(o.log, reason)) {
        return Fail(reason);
    }
    if (std::string reason; !o.trace.empty() && !host::OpenTrace(o.trace, reason)) {
        return Fail(reason);
    }
    return -1;
}

device::DeviceConfig ConfigFor(const Options& o, const Plan& plan)
{
    device::DeviceConfig config;
    config.clock = (o.realTime || !o.headless) ? device::ClockKind::Real : device::ClockKind::Virtual;
    config.resDir = plan.resDir;
    config.cameraSource = CameraKinds().FactoryFor(o.camera);
    config.fallbackCameraSource = [] { return std::make_unique<demo::DemoScene>(); };
    if (float pitch = 0; plan.tilt) {
        // The window starts turned as the phone is held.
        if (std::string why; plan.tilt->Read(pitch, why) == device::TiltSource::Result::Pitch) {
            config.initialPitch = pitch;
        }
    }
    config.tell = Tell;
    return config;
}

std::unique_ptr<sdl::Window> OpenWindow(device::Device& dev, const Options& o, std::string& reason)
{
    sdl::Options options;
    options.shrink = o.shrink;
    options.fullscreen = o.fullscreen;
    options.picture = sources::IsCameraDevice(o.camera) ? std::string() : o.camera;
    options.openPicture = [](const std::string& path) { return CameraKinds().Make(path); };
    options.saveTo = o.saveTo;
    options.settingsFile = outpath::SettingsPath();
    options.showLastPicture = o.camera.empty();
    options.outputs = {o.screenshot, o.trace, o.log};
    return sdl::Window::Open(dev, options, reason);
}

// The application's own exit code first, then a signal, a lost window, a lost write and a
// measurement a script asked for and did not get.
int Outcome(int appCode, int signal, bool windowLost, bool writeFailed, bool unread)
{
    if (appCode != 0) {
        // Keep a failure a failure even where its code has no low byte.
        return (appCode & 0xFF) ? (appCode & 0xFF) : 1;
    }
    if (signal) {
        return 128 + signal;
    }
    if (windowLost) {
        return 3;
    }
    if (writeFailed) {
        return 1;
    }
    // Every output was written, but a measurement the script asked for was not made.
    return unread ? 4 : 0;
}

} // namespace

int Run(int argc, char** argv)
{
    // libcamera talks on stderr about itself (its version, tuning files it lacks) whenever a
    // camera is opened or listed; a camera that cannot be opened is told in one line anyway.
    // A user who sets the variable gets what they ask for.
    setenv("LIBCAMERA_LOG_LEVELS", "*:FATAL", 0);
    // First, so that every thread any library starts later leaves the signals to it.
    SignalWatch signals;
    Options o;
    if (int code = ParseOptions(argc, argv, o); code >= 0) {
        return code;
    }
    if (o.camera == "list") {
        return ListCameras();
    }
    Plan plan;
    if (int code = Prepare(o, plan); code >= 0) {
        return code;
    }
    std::string message;
    std::unique_ptr<AppLibrary> app = AppLibrary::Open(plan.appPath, message);
    if (!app) {
        return Fail(message);
    }

    device::Device dev(ConfigFor(o, plan));
    dev.Tilt().SetSource(std::move(plan.tilt));
    signals.RunStarted(dev);
    std::unique_ptr<sdl::Window> window;
    if (!o.headless) {
        std::string reason;
        window = OpenWindow(dev, o, reason);
        if (!window) {
            app.reset();
            host::CloseTrace();
            signals.RunEnded();
            return Fail(reason);
        }
    }

    // With a script the run lasts as long as the script, and --seconds more if given.
    const double seconds = o.scriptPath.empty() || o.secondsGiven ? o.seconds : 0.0;
    const auto runMicros = static_cast<device::Micros>(std::llround(seconds * device::kMicrosPerSecond));
    bool writeFailed = false;
    int unread = 0; // the script's corners and edges that read nothing
    int unplayed = 0; // and its frames, pauses and plays the camera could not do
    dev.SetDriver([&](device::Device& d) {
        if (!o.scriptPath.empty()) {
            const headless::Script::Outcome ran = plan.script.Run(d, Tell);
            writeFailed |= !ran.written;
            unread = ran.unread;
            unplayed = ran.unplayed;
        }
        if (window) {
            window->Run();
        } else {
            d.RunFor(runMicros);
        }
        if (!o.screenshot.empty()) {
            std::string reason;
            const device::PixelView shot = d.GetDisplay().Compose();
            if (!codec::WritePngFile(o.screenshot, shot.pixels, shot.width, shot.height, shot.stride, reason)) {
                Tell("cannot write screenshot: " + reason);
                writeFailed = true;
            }
        }
    });

    std::vector<std::string> args;
    args.push_back(plan.appPath);
    args.insert(args.end(), o.appArgs.begin(), o.appArgs.end());
    std::vector<char*> cargs;
    for (auto& a : args) {
        cargs.push_back(a.data());
    }
    cargs.push_back(nullptr);

    const int appCode = app->Enter(static_cast<int>(args.size()), cargs.data());
    const bool windowLost = window && window->GetEnding() == sdl::Ending::WindowLost;
    writeFailed |= window && window->ScreenshotFailed();
    window.reset();
    // Before the trace and the log close, so that what the application says as it unloads
    // is kept.
    app.reset();
    // Every write of the trace and the log is checked; a lost line is a failed run.
    writeFailed |= !host::CloseTrace();
    writeFailed |= !host::CloseLog();
    signals.RunEnded();
    if (unread > 0) {
        Tell(std::to_string(unread) + (unread == 1 ? " corner or edge" : " corners and edges") +
             " of the script read nothing (exit code 4)");
    }
    if (unplayed > 0) {
        Tell(std::to_string(unplayed) + (unplayed == 1 ? " frame, pause or play" : " frames, pauses and plays") +
             " of the script could not be done (exit code 4)");
    }
    return Outcome(appCode, signals.Received(), windowLost, writeFailed, unread > 0 || unplayed > 0);
}

} // namespace launcher
