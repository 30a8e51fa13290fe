// The veltora launcher: plays the phone's loader. It reads the options, makes the
// device, loads the application library and calls its OspMain.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Installation.h"
#include "LeakCheck.h"
#include "Signals.h"
#include "files/OutputPath.h"
#include "host/Host.h"
#include "files/Settings.h"
#include "demo/DemoScene.h"
#include "gst/CameraList.h"
#include "gst/VideoSource.h"
#include "photo/PhotoSource.h"
#include "sdl/SdlWindow.h"
#include "headless/Script.h"
#include "iio/IioAccelerometer.h"
#include "device/Device.h"
#include "codec/ImageCodec.h"
#include "text/Printable.h"

namespace {

const char* kUsage =
    "usage: veltora [options] [-- application arguments]\n"
    "\n"
    "Runs Veltora, the camera protractor, on a simulated phone: in a window, or with\n"
    "--headless (or --script) without one.\n"
    "\n"
    "options:\n"
    "  --headless          run with no window, on a simulated clock\n"
    "  --seconds N         how long a headless run lasts, in simulated seconds (default 10);\n"
    "                      a window runs until you quit\n"
    "  --real-time         run headless at the pace of the wall clock instead\n"
    "  --screenshot FILE   write the screen as a PNG file at the end of the run\n"
    "  --shrink N          start the window N times smaller (default: a size that suits the\n"
    "                      desktop); it can be resized, keeping the phone's shape\n"
    "  --fullscreen        fill the display with the phone's screen, turned upright as the\n"
    "                      tilt sensor reads (with the keys: as they turn it); pixel for\n"
    "                      pixel on a display of the phone's size\n"
    "  --camera SOURCE     what the camera sees: a picture (JPEG, PNG, GIF, BMP), a video file,\n"
    "                      a webcam (/dev/videoN) or a libcamera camera (libcamera for the\n"
    "                      first, libcamera:NAME); default: the built-in demo scene;\n"
    "                      --camera list names the cameras found and exits\n"
    "  --tilt SOURCE       what tilts the phone: keys (and script lines), auto (the first\n"
    "                      accelerometer found, else the keys) or an accelerometer's IIO\n"
    "                      folder (/sys/bus/iio/devices/iio:deviceN, or iio:deviceN);\n"
    "                      default: auto in the window, keys headless\n"
    "  --tilt-natural WAY  how the accelerometer's device is held upright: portrait\n"
    "                      (a phone, the default) or landscape (most tablets and 2-in-1s)\n"
    "  --save-to DIR       where S saves pictures in the window (default: Veltora in your\n"
    "                      pictures folder, made when needed)\n"
    "  --app PATH          the application library (default: the one installed with veltora)\n"
    "  --res DIR           the application's resource folder (default: the one installed\n"
    "                      with veltora)\n"
    "  --log FILE          also append the log to FILE\n"
    "  --trace FILE        write what the application does as JSON lines (see README)\n"
    "  --script FILE       run the commands in FILE (headless); the run ends with the script,\n"
    "                      plus --seconds if given\n"
    "  --version           show the version and exit\n"
    "  --help              show this help and exit\n"
    "\n"
    "script commands (one a line):\n";

struct Options {
    bool headless = false;
    double seconds = 10.0;
    bool secondsGiven = false;
    bool realTime = false;
    int shrink = 0;
    bool fullscreen = false;
    std::string scriptPath;
    std::string camera;
    std::string tilt;
    iio::Natural tiltNatural = iio::Natural::Portrait;
    std::string screenshot;
    std::string app;
    std::string res;
    std::string log;
    std::string trace;
    std::string saveTo;
    std::vector<std::string> appArgs;
};

// One "veltora:" line on stderr. The whole message is made printable: it may quote names,
// option values and script words from the user, or reasons that quote them again.
void Tell(const std::string& message)
{
    std::fprintf(stderr, "veltora: %s\n", text::Printable(message).c_str());
}

int Fail(const std::string& message)
{
    Tell(message);
    return 2;
}

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

bool EndsWithNoCase(const std::string& s, const std::string& suffix)
{
    if (s.size() < suffix.size()) {
        return false;
    }
    for (size_t i = 0; i < suffix.size(); i++) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

// A webcam is a character device, in whatever folder; a name under /dev/video or /dev/v4l/
// that names nothing is taken for one too, so its absence is told as a missing device.
// Anything else is a file, a photo under /dev/shm as much as one at home.
bool IsCameraDevice(const std::string& source)
{
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) {
        return S_ISCHR(st.st_mode);
    }
    return source.rfind("/dev/video", 0) == 0 || source.rfind("/dev/v4l/", 0) == 0;
}

// The camera's picture: a photo when its content is a picture (or its name says so), a
// webcam when it is a device, otherwise a video file. The demo scene is the default, and
// what takes over when a source fails.
device::CameraSourceFactory CameraFor(const std::string& source)
{
    if (source.empty()) {
        return [] { return std::make_unique<demo::DemoScene>(); };
    }
    if (std::string camera; gst::IsLibcameraName(source, camera)) {
        return [camera] { return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::Libcamera, camera); };
    }
    // /dev/v4l/by-id/... names a webcam for good, whichever number it gets.
    if (IsCameraDevice(source)) {
        return [source] { return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::Webcam, source); };
    }
    if (codec::PictureFormatOf(source) || EndsWithNoCase(source, ".jpg") || EndsWithNoCase(source, ".jpeg") ||
        EndsWithNoCase(source, ".png") || EndsWithNoCase(source, ".gif") || EndsWithNoCase(source, ".bmp")) {
        return [source] { return std::make_unique<photo::PhotoSource>(source); };
    }
    return [source] { return std::make_unique<gst::VideoSource>(gst::VideoSource::Kind::File, source); };
}

// --camera list: what a user may pass to --camera on this machine.
int ListCameras()
{
    std::vector<gst::CameraEntry> cameras;
    if (std::string reason; !gst::ListCameras(cameras, reason)) {
        return Fail("cannot list the cameras: " + reason);
    }
    if (cameras.empty()) {
        std::puts("no cameras found (looked for V4L2 devices and libcamera cameras)");
        return 0;
    }
    std::puts("cameras (pass the first column to --camera):");
    for (const auto& c : cameras) {
        // The labels come from the devices themselves.
        std::printf("  %-24s %s (%s)\n", text::Printable(c.name).c_str(), text::Printable(c.label).c_str(),
                    text::Printable(c.api).c_str());
    }
    return 0;
}

// Returns -1 when the options are good, otherwise the exit code.
int Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= argc) {
                Fail("option " + arg + " needs a value (see veltora --help)");
                return false;
            }
            out = argv[++i];
            // An empty name would silently mean "none" further on.
            if (out.empty() && arg != "--camera") {
                Fail("option " + arg + " needs a non-empty value");
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(headless::Script::Help(), stdout);
            std::fputs("\n", stdout);
            std::fputs(sdl::kKeyHelp, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("veltora %s\n", launcher::Version());
            return 0;
        } else if (arg == "--headless") {
            o.headless = true;
        } else if (arg == "--fullscreen") {
            o.fullscreen = true;
        } else if (arg == "--real-time") {
            o.realTime = true;
        } else if (arg == "--seconds") {
            std::string v;
            if (!value(v)) {
                return 2;
            }
            char* end = nullptr;
            errno = 0;
            const double s = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || errno != 0 || !std::isfinite(s) || s < 0 || s > 86400) {
                return Fail("--seconds wants a number of seconds from 0 to 86400, not '" + v + "'");
            }
            o.seconds = s;
            o.secondsGiven = true;
        } else if (arg == "--screenshot") {
            if (!value(o.screenshot)) {
                return 2;
            }
        } else if (arg == "--app") {
            if (!value(o.app)) {
                return 2;
            }
        } else if (arg == "--res") {
            if (!value(o.res)) {
                return 2;
            }
        } else if (arg == "--save-to") {
            if (!value(o.saveTo)) {
                return 2;
            }
        } else if (arg == "--log") {
            if (!value(o.log)) {
                return 2;
            }
        } else if (arg == "--shrink") {
            std::string v;
            if (!value(v)) {
                return 2;
            }
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > 8) {
                return Fail("--shrink wants a whole number from 1 to 8, not '" + v + "'");
            }
            o.shrink = static_cast<int>(n);
        } else if (arg == "--camera") {
            if (!value(o.camera)) {
                return 2;
            }
        } else if (arg == "--tilt") {
            if (!value(o.tilt)) {
                return 2;
            }
        } else if (arg == "--tilt-natural") {
            std::string v;
            if (!value(v)) {
                return 2;
            }
            if (v != "portrait" && v != "landscape") {
                return Fail("--tilt-natural wants portrait or landscape, not '" + v + "'");
            }
            o.tiltNatural = v == "landscape" ? iio::Natural::Landscape : iio::Natural::Portrait;
        } else if (arg == "--script") {
            if (!value(o.scriptPath)) {
                return 2;
            }
        } else if (arg == "--trace") {
            if (!value(o.trace)) {
                return 2;
            }
        } else if (arg == "--") {
            for (i++; i < argc; i++) {
                o.appArgs.push_back(argv[i]);
            }
        } else {
            return Fail("unknown option '" + arg + "' (see veltora --help)");
        }
    }
    return -1;
}

// The files this run reads and writes, checked together before any is opened.
bool CheckFiles(const Options& o, const headless::Script& script, const std::string& appPath,
                const std::string& resDir, const std::string& tiltDir, std::string& reason)
{
    outpath::RunFiles files;
    if (!tiltDir.empty()) {
        files.AddInputFolder(tiltDir, "a tilt sensor file");
    }
    files.AddInput(o.camera, "the camera picture");
    files.AddInput(o.scriptPath, "the script");
    files.AddInput(appPath, "the application library");
    files.AddInput("/proc/self/exe", "the veltora program");
    files.AddInputFolder(resDir, "a resource image");
    if (!o.screenshot.empty()) {
        files.AddOutput(o.screenshot, outpath::Kind::Replaced, "screenshot", "screenshot");
    }
    for (const auto& c : script.Commands()) {
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

// The application's entry point, checked to be code: a library may export a variable under its name.
bool IsFunction(void* address)
{
    Dl_info info{};
    void* entry = nullptr;
    if (!dladdr1(address, &info, &entry, RTLD_DL_SYMENT) || !entry) {
        return false;
    }
    const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
    const int type = ELF64_ST_TYPE(symbol->st_info);
    return type == STT_FUNC || type == STT_GNU_IFUNC;
}

// Whatever went to stdout (the help, the camera list, the window's "showing" lines) counts
// like any other output: a full disk or a reader that has gone fails the run, in one line.
int CheckStdout(int code)
{
    errno = 0;
    bool failed = std::fflush(stdout) != 0;
    int error = failed ? errno : 0;
    failed |= std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (!failed) {
        return code;
    }
    Tell(std::string("cannot write to the standard output") + (error ? std::string(": ") + std::strerror(error) : ""));
    return code != 0 ? code : 1;
}

// The whole run, from the command line to the end of the application, with everything it
// made (the device, the window, the signal thread) gone when it returns.
int Run(int argc, char** argv)
{
    // libcamera talks on stderr about itself (its version, tuning files it lacks) whenever a
    // camera is opened or listed; a camera that cannot be opened is told in one line anyway.
    // A user who sets the variable gets what they ask for.
    setenv("LIBCAMERA_LOG_LEVELS", "*:FATAL", 0);
    // First, so that every thread any library starts later leaves the signals to it.
    launcher::SignalWatch signals;
    Options o;
    if (int code = Parse(argc, argv, o); code >= 0) {
        return code;
    }
    if (o.camera == "list") {
        return ListCameras();
    }
    if (!o.res.empty()) {
        struct stat st {};
        if (::stat(o.res.c_str(), &st) != 0) {
            return Fail("resource folder " + o.res + ": " + std::strerror(errno));
        }
        if (!S_ISDIR(st.st_mode)) {
            return Fail("resource folder " + o.res + " is not a folder");
        }
    }
    headless::Script script;
    if (!o.scriptPath.empty()) {
        std::string error;
        if (!headless::Script::Load(o.scriptPath, script, error)) {
            return Fail(error);
        }
    }
    const launcher::Layout installed = launcher::FindLayout(ExeDir());
    const std::string appPath = o.app.empty() ? installed.app : o.app;
    // A library named on the command line brings its Res/ beside it, as on the phone.
    const std::string resDir = !o.res.empty() ? o.res : o.app.empty() ? installed.res : DirOf(appPath) + "/Res";
    if (std::string reason; !o.saveTo.empty() && !launcher::CheckSaveFolder(o.saveTo, reason)) {
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
    std::unique_ptr<iio::IioAccelerometer> tilt;
    if (std::string reason; !TiltFor(o, tilt, reason)) {
        return Fail(reason);
    }
    const std::string tiltDir = tilt ? tilt->Folder() : "";
    if (std::string reason; !CheckFiles(o, script, appPath, resDir, tiltDir, reason)) {
        return Fail(reason);
    }
    if (!o.log.empty()) {
        std::string reason;
        if (!host::OpenLog(o.log, reason)) {
            return Fail(reason);
        }
    }
    if (!o.trace.empty()) {
        std::string reason;
        if (!host::OpenTrace(o.trace, reason)) {
            return Fail(reason);
        }
    }

    if (access(appPath.c_str(), R_OK) != 0) {
        return Fail("cannot load application " + appPath + ": " + std::strerror(errno));
    }
    // The loader reads whatever the name leads to: a FIFO would hold the start for ever, a
    // device would be read without end.
    if (struct stat st {}; ::stat(appPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return Fail("cannot load application " + appPath + ": not a regular file");
    }
    void* lib = dlopen(appPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* err = dlerror();
        return Fail("cannot load application " + appPath + ": " + (err ? err : "unknown error"));
    }
    using EntryPoint = int (*)(int, char**);
    void* entry = dlsym(lib, "OspMain");
    if (!entry) {
        dlclose(lib);
        return Fail("application " + appPath + " has no OspMain entry point");
    }
    if (!IsFunction(entry)) {
        dlclose(lib);
        return Fail("application " + appPath + " is broken: its OspMain is not a function");
    }
    auto ospMain = reinterpret_cast<EntryPoint>(entry);

    device::DeviceConfig config;
    config.clock = (o.realTime || !o.headless) ? device::ClockKind::Real : device::ClockKind::Virtual;
    config.resDir = resDir;
    config.cameraSource = CameraFor(o.camera);
    config.fallbackCameraSource = [] { return std::make_unique<demo::DemoScene>(); };
    if (float pitch = 0; tilt) {
        // The window starts turned as the phone is held.
        if (std::string why; tilt->Read(pitch, why) == device::TiltSource::Result::Pitch) {
            config.initialPitch = pitch;
        }
    }
    config.tell = Tell;
    device::Device dev(config);
    dev.Tilt().SetSource(std::move(tilt));
    signals.RunStarted(dev);
    std::unique_ptr<sdl::Window> window;
    if (!o.headless) {
        std::string reason;
        sdl::Options options;
        options.shrink = o.shrink;
        options.fullscreen = o.fullscreen;
        options.picture = IsCameraDevice(o.camera) ? std::string() : o.camera;
        options.openPicture = [](const std::string& path) { return CameraFor(path)(); };
        options.saveTo = o.saveTo;
        options.settingsFile = outpath::SettingsPath();
        options.showLastPicture = o.camera.empty();
        options.outputs = {o.screenshot, o.trace, o.log};
        window = sdl::Window::Open(dev, options, reason);
        if (!window) {
            dlclose(lib);
            host::CloseTrace();
            signals.RunEnded();
            return Fail(reason);
        }
    }

    // With a script the run lasts as long as the script, and --seconds more if given.
    const double seconds = o.scriptPath.empty() || o.secondsGiven ? o.seconds : 0.0;
    const auto runMicros = static_cast<device::Micros>(std::llround(seconds * device::kMicrosPerSecond));
    int exitCode = 0;
    bool writeFailed = false;
    dev.SetDriver([&](device::Device& d) {
        if (!o.scriptPath.empty()) {
            writeFailed |= !script.Run(d, Tell);
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
    args.push_back(appPath);
    args.insert(args.end(), o.appArgs.begin(), o.appArgs.end());
    std::vector<char*> cargs;
    for (auto& a : args) {
        cargs.push_back(a.data());
    }
    cargs.push_back(nullptr);

    exitCode = ospMain(static_cast<int>(args.size()), cargs.data());
    const bool windowLost = window && window->GetEnding() == sdl::Ending::WindowLost;
    window.reset();
    dlclose(lib);
    // Every write of the trace and the log is checked; a lost line is a failed run.
    writeFailed |= !host::CloseTrace();
    writeFailed |= !host::CloseLog();
    signals.RunEnded();
    if (exitCode != 0) {
        // Keep a failure a failure even where its code has no low byte.
        return (exitCode & 0xFF) ? (exitCode & 0xFF) : 1;
    }
    if (const int signal = signals.Received()) {
        return 128 + signal;
    }
    if (windowLost) {
        return 3;
    }
    return writeFailed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A standard stream the shell closed (2>&-) would be taken by the first file the run
    // opens, and messages would land in the user's trace or screenshot: /dev/null holds it.
    for (int fd = 0; fd <= 2; fd++) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            (void)::open("/dev/null", O_RDWR); // the lowest free number: fd itself
        }
    }
    // Room for the help and the camera list whole, so that a failed write shows at the last
    // flush with its reason; a terminal keeps its line buffering.
    static char stdoutBuffer[64 * 1024];
    if (!::isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
    }
    const int code = CheckStdout(Run(argc, argv));
    launcher::CheckLeaksNow();
    return code;
}
