// Feeds the application a stream of events made from the fuzzer's bytes: touches
// anywhere, actions, pitches (NaN and infinities too), frames, background and
// foreground, termination. After every event the state must still make sense: pins in
// range pointing where the finger went, the readout reading the pins, the layout the code's.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "MainForm.h"
#include "Veltora.h"
#include "app/Platform.h"
#include "app/Runtime.h"
#include "base/Log.h"
#include "codec/ImageCodec.h"
#include "device/CameraSource.h"
#include "device/Device.h"
#include "support/FormFields.h"
#include "support/ResourceNames.h"
#include "support/ShownReadout.h"
#include "ui/Screen.h"

namespace {

// A plain grey camera: the fuzzer is after the application's logic, not the picture.
class GreyCamera : public device::CameraSource {
public:
    std::string Describe() const override { return "grey camera"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {{320, 240}, {800, 480}}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string&) override
    {
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, 0xFF808080u);
        }
        return true;
    }
};

// The application's 43 images as 2x2 pictures: decoding them is quick, and every draw
// still names its image.
std::string TinyRes()
{
    // Made once per process and removed when it ends.
    struct Folder {
        std::string path;
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    std::string pattern = (std::filesystem::temp_directory_path() / "veltora-fuzz-res-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::abort();
    }
    static Folder folder{pattern};
    const char* dir = folder.path.c_str();
    const std::uint32_t px[4] = {0xFF102030u, 0x80402010u, 0u, 0xFFFFFFFFu};
    std::string reason;
    // The two pictures of the help page are JPEGs; a PNG under their names fails to
    // decode, which the form copes with too.
    for (const auto& n : testing_support::ResourceNames()) {
        codec::WritePngFile(std::string(dir) + "/" + n, px, 2, 2, 8, reason);
    }
    return dir;
}

[[noreturn]] void Broken(const char* what, double value)
{
    std::fprintf(stderr, "invariant broken: %s (%g)\n", what, value);
    std::abort();
}

struct Bytes {
    const std::uint8_t* p;
    size_t n;
    std::uint8_t U8() { return n ? (n--, *p++) : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint32_t U32() { return U16() | (static_cast<std::uint32_t>(U16()) << 16); }
};

// Interesting places to touch: the dial centres, the zone limits, the screen's edges,
// and anywhere at all.
int Coordinate(Bytes& b, bool vertical)
{
    static const int xs[] = {400, 399, 401, 234, 566, 194, 606, 34,      766,
                             304, 272, 160, 0,   799, 800, -1,  -100000, 100000};
    static const int ys[] = {480, 479, 469, 240, 239, 314, 315, 274, 273, 114, 115, 144, 145, 112, 111, 0, 1, 800, -5};
    const std::uint8_t kind = b.U8();
    if (kind < 64) {
        return vertical ? ys[kind % (sizeof ys / sizeof *ys)] : xs[kind % (sizeof xs / sizeof *xs)];
    }
    return static_cast<int>(b.U16() % 1000) - 100;
}

float Pitch(Bytes& b)
{
    static const float special[] = {-90, 90,   0,   180, -180, -10, 10,       -80,       -100,  80,
                                    100, -170, 170, 45,  -135, NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
    const std::uint8_t kind = b.U8();
    if (kind < 128) {
        return special[kind % (sizeof special / sizeof *special)];
    }
    const std::uint32_t bits = b.U32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

namespace {

MainFormInspector Inspect(device::Device& d)
{
    return MainFormInspector(*static_cast<MainForm*>(app::Platform::Of(d).Screen().CurrentForm()));
}

// The state must still make sense after every event.
void Check(device::Device& d)
{
    const MainFormInspector f = Inspect(d);
    const double landscape[] = {f.landscapePin, f.landscapeOrigin};
    const double portrait[] = {f.portraitPin, f.portraitOrigin};
    for (double a : landscape) {
        if (!std::isfinite(a) || a < 0 || a > 180) {
            Broken("landscape pin angle out of 0..180", a);
        }
    }
    for (double a : portrait) {
        if (!std::isfinite(a) || a < 0 || a > 360) {
            Broken("portrait pin angle out of 0..360", a);
        }
    }
    if (f.orientation < 0 || f.orientation > 3) {
        Broken("orientation code", f.orientation);
    }
    // Every readout image drawn is one of the twelve.
    for (const auto& op : app::Platform::Of(d).Screen().ShownCanvas()) {
        const std::string& name = op.bitmap->name;
        for (const char* prefix : {"bigNum", "smallNum"}) {
            if (name.rfind(prefix, 0) == 0) {
                const int index = std::atoi(name.c_str() + std::strlen(prefix));
                if (index < 0 || index > 11) {
                    Broken("readout image index", index);
                }
            }
        }
    }
}

// The angle between the pins in tenths, worked out from the pin angles as the readout should:
// the plain difference on the half dial, the shorter way round on the round one.
int ReadoutTenths(const MainFormInspector& f)
{
    const bool half = f.orientation == 2 || f.orientation == 3;
    double between = half ? std::fabs(f.landscapePin - f.landscapeOrigin) : std::fabs(f.portraitPin - f.portraitOrigin);
    if (!half && between > 360 - between) {
        between = 360 - between;
    }
    return static_cast<int>(between * 10);
}

// Every canvas shown must read what its pin angles say, at the moment it is shown.
void CheckShownReadout(device::Device& d, const std::vector<graphics::DrawOp>& ops)
{
    const MainFormInspector f = Inspect(d);
    const int want = ReadoutTenths(f);
    const readings::Readout shown = testing_support::ShownReadout(ops);
    const int big = readings::Tenths(shown.angle), small = readings::Tenths(shown.otherSide);
    if (big != want) {
        Broken("the readout differs from the angle between the pins", big);
    }
    const bool half = f.orientation == 2 || f.orientation == 3;
    if (small != (half ? -1 : 3600 - want)) {
        Broken("the other side differs from 360 less the angle", small);
    }
}

// Once a tilt reading has laid the controls out, the dial label and the hold and information
// buttons are where the orientation code puts them.
void CheckLayout(device::Device& d)
{
    const MainFormInspector f = Inspect(d);
    if (f.oldOrientation == 4) {
        return; // no reading yet
    }
    struct Place {
        bool portrait;
        int holdX, holdY, infoX, infoY;
    };
    static const Place places[] = {
        {true, 15, 15, 90, 415}, {true, 721, 399, 660, 15}, {false, 721, 15, 15, 90}, {false, 15, 15, 735, 90}};
    const Place& p = places[f.orientation];
    auto* hold = p.portrait ? f.portraitHoldButton : f.landscapeHoldButton;
    auto* otherHold = p.portrait ? f.landscapeHoldButton : f.portraitHoldButton;
    if (f.portraitLabel->GetShowState() != p.portrait || f.landscapeLabel->GetShowState() == p.portrait) {
        Broken("the dial label shown is not the orientation code's", f.orientation);
    }
    if (!hold->GetShowState() || otherHold->GetShowState() ||
        hold->GetPosition() != Osp::Graphics::Point(p.holdX, p.holdY)) {
        Broken("the hold button shown is not the orientation code's", f.orientation);
    }
    if (f.infoButton->GetPosition() != Osp::Graphics::Point(p.infoX, p.infoY)) {
        Broken("the information button is not where the orientation code puts it", f.orientation);
    }
}

// A held pin that a move turned points at the finger: worked out here with atan2, the round
// dial's right half (x above 399) reading 180 and more.
void CheckTurnedPin(const MainFormInspector& before, double pinBefore, double originBefore, device::Device& d, int x,
                    int y)
{
    const MainFormInspector f = Inspect(d);
    const bool half = f.orientation == 2 || f.orientation == 3;
    const double pin = half ? f.landscapePin : f.portraitPin;
    const double origin = half ? f.landscapeOrigin : f.portraitOrigin;
    const bool pinMoved = pin != pinBefore, originMoved = origin != originBefore;
    if (!pinMoved && !originMoved) {
        return; // not delivered, nothing held, or a finger on the very centre
    }
    if (before.orientation != f.orientation || (pinMoved && originMoved)) {
        Broken("one move turned more than one pin", f.orientation);
    }
    const double dx = x - 400.0, dy = y - (half ? 480.0 : 240.0);
    const double pi = std::acos(-1.0);
    double want;
    if (half) {
        want = std::atan2(std::fabs(dy), -dx) * 180 / pi;
    } else {
        want = std::atan2(std::fabs(dx), dy) * 180 / pi;
        if (x > 399) {
            want = 360 - want;
        }
    }
    const double got = pinMoved ? pin : origin;
    if (std::fabs(got - want) > 1e-6) {
        Broken("a turned pin does not point at the finger", got);
    }
    if (!half && x > 399 && got < 180) {
        Broken("a round-dial pin dragged on the right half reads below 180", got);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const std::string res = [] {
        oslog::SetStderr(false);
        return TinyRes();
    }();
    device::DeviceConfig config;
    config.resDir = res;
    config.cameraSource = [] { return std::make_unique<GreyCamera>(); };
    device::Device dev(config);
    app::Platform::Of(dev).Screen().SetCanvasObserver(
        [&dev](const std::vector<graphics::DrawOp>& ops) { CheckShownReadout(dev, ops); });
    app::Runtime runtime(dev, Veltora::CreateInstance, nullptr);
    runtime.Start();

    using Phase = device::Device::TouchPhase;
    Bytes b{data, size};
    bool background = false;
    for (int events = 0; b.n > 0 && events < 200; events++) {
        const std::uint8_t op = b.U8() % 11;
        bool settled = false;
        switch (op) {
        case 0: dev.PostTouch(Phase::Press, Coordinate(b, false), Coordinate(b, true)); break;
        case 1: {
            const int x = Coordinate(b, false), y = Coordinate(b, true);
            const MainFormInspector f = Inspect(dev);
            const bool half = f.orientation == 2 || f.orientation == 3;
            const double pin = half ? f.landscapePin : f.portraitPin;
            const double origin = half ? f.landscapeOrigin : f.portraitOrigin;
            dev.PostTouch(Phase::Move, x, y);
            dev.RunFor(0);
            CheckTurnedPin(f, pin, origin, dev, x, y);
            break;
        }
        case 2: dev.PostTouch(Phase::Release, Coordinate(b, false), Coordinate(b, true)); break;
        case 3: {
            // Buttons are pressed by touches, which a backgrounded application never gets.
            static const int ids[] = {150, 151, 152, 0, 149, 153, -1};
            const int id = ids[b.U8() % 7];
            if (!background) {
                Inspect(dev).Act(id);
            }
            break;
        }
        case 4: dev.PostPitch(Pitch(b)); break;
        case 5: {
            // Long enough for at least one frame and possibly a tilt reading.
            dev.RunFor(static_cast<device::Micros>(70 + b.U8() * 4) * device::kMicrosPerMilli);
            settled = true;
            break;
        }
        case 6:
            dev.PostBackground();
            background = true;
            break;
        case 7:
            dev.PostForeground();
            background = false;
            break;
        case 8: dev.PostLowMemory(); break;
        case 9: runtime.Finish(); return 0; // termination at any point
        case 10: dev.RunFor(b.U8() * device::kMicrosPerMilli); break;
        }
        dev.RunFor(0);
        Check(dev);
        CheckLayout(dev);
        if (settled && !background) {
            // After a frame's time in the foreground the preview runs exactly in live mode.
            const MainFormInspector f = Inspect(dev);
            const bool live = !f.holdOn && !f.info;
            const bool previewing = f.camera->GetState() == Osp::Media::CAMERA_STATE_PREVIEW;
            if (previewing != live) {
                Broken("preview running against the mode table", previewing);
            }
        }
    }
    runtime.Finish();
    return 0;
}
