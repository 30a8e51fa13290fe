// The form as it stands after OnInitializing and after OnTerminating: its state, its
// control tree, what it decoded and kept, and how it copes with missing images and
// cameras that offer nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "demo/DemoScene.h"
#include "support/Harness.h"
#include "support/Scratch.h"

using namespace Osp::Base;
using namespace Osp::Graphics;
using namespace Osp::Media;
using namespace Osp::Ui;
using namespace Osp::Ui::Controls;
using testing_support::CopyRes;
using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

struct Node {
    std::string cls;
    Rectangle rect;
    bool shown;
    bool formListens;
    int actionId; // -1: not a button
};

Node Describe(const Control& c, const MainForm& form)
{
    const auto& listeners = ui::ControlAccess::TouchListeners(c);
    const bool listens = listeners.size() == 1 && listeners[0] == static_cast<const ITouchEventListener*>(&form);
    const auto* b = dynamic_cast<const Button*>(&c);
    return {ui::ControlAccess::ClassName(c), c.GetBounds(), c.GetShowState(), listens, b ? b->GetActionId() : -1};
}

void ExpectNode(const Control* c, const MainForm& form, const Node& want)
{
    ASSERT_NE(c, nullptr);
    const Node got = Describe(*c, form);
    EXPECT_EQ(got.cls, want.cls);
    EXPECT_EQ(got.rect, want.rect) << want.cls << " at " << got.rect.x << "," << got.rect.y << " " << got.rect.width
                                   << "x" << got.rect.height;
    EXPECT_EQ(got.shown, want.shown) << want.cls;
    EXPECT_EQ(got.formListens, want.formListens) << want.cls;
    EXPECT_EQ(got.actionId, want.actionId) << want.cls;
}

constexpr std::uint32_t kCameraColour = 0xFF336699u;

// A camera that offers no preview sizes and sees one plain colour.
class NoSizesSource : public device::CameraSource {
public:
    std::string Describe() const override { return "sizeless camera"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string&) override
    {
        for (int y = 0; y < out.height; y++) {
            std::fill(out.Row(y), out.Row(y) + out.width, kCameraColour);
        }
        return true;
    }
};

} // namespace

TEST(Form, StartsInTheLandscapeStateWithThePreviewRunning)
{
    Harness h;
    auto f = h.Inspect();
    EXPECT_EQ(f.orientation, LANDSCAPE_LEFT);
    EXPECT_EQ(f.oldOrientation, 4);
    EXPECT_EQ(f.landscapePin, 0.0);
    EXPECT_EQ(f.portraitPin, 0.0);
    EXPECT_EQ(f.landscapeOrigin, 90.0);
    EXPECT_EQ(f.portraitOrigin, 90.0);
    EXPECT_FALSE(f.holdOn || f.info || f.moveLandscapeOrigin || f.movePortraitOrigin || f.moveLandscapePin ||
                 f.movePortraitPin);
    ASSERT_NE(f.camera, nullptr);
    EXPECT_EQ(f.camera->GetState(), CAMERA_STATE_PREVIEW);
    EXPECT_EQ(f.camera->GetPreviewFrameRate(), 15);
    EXPECT_TRUE(f.camera->IsFlashOn());
    // The camera lists several sizes; the form takes the last one it lists.
    EXPECT_EQ(h.Trace().Args("Camera::GetSupportedPreviewResolutionListN", "count"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(f.camera->GetPreviewResolution(), Dimension(800, 480));
    EXPECT_EQ(f.form.GetOrientation(), ORIENTATION_LANDSCAPE);
    // The preview goes into the camera panel's background.
    EXPECT_EQ(f.bufferInfo.width, 800);
    EXPECT_EQ(f.bufferInfo.height, 480);
    EXPECT_EQ(f.bufferInfo.pPixels, ui::ControlAccess::Background(*f.cameraPanel)->pixels.data());
}

TEST(Form, BuildsItsControlTree)
{
    Harness h;
    auto f = h.Inspect();
    MainForm& form = f.form;
    ASSERT_EQ(form.GetControlCount(), 2);
    ExpectNode(form.GetControl(0), form, {"OverlayPanel", Rectangle(0, 0, 800, 480), true, true, -1});
    ExpectNode(form.GetControl(1), form, {"Panel", Rectangle(0, 0, 480, 800), false, true, -1});
    EXPECT_EQ(form.GetControl(0), f.cameraPanel);
    EXPECT_EQ(form.GetControl(1), f.infoPanel);

    const Container& camera = *f.cameraPanel;
    ASSERT_EQ(camera.GetControlCount(), 5);
    ExpectNode(camera.GetControl(0), form, {"Label", Rectangle(46, 104, 708, 376), true, true, -1});
    ExpectNode(camera.GetControl(1), form, {"Label", Rectangle(0, 0, 800, 480), false, true, -1});
    ExpectNode(camera.GetControl(2), form, {"Button", Rectangle(15, 90, 50, 50), true, false, 150});
    ExpectNode(camera.GetControl(3), form, {"Button", Rectangle(682, 15, 64, 66), true, false, 151});
    ExpectNode(camera.GetControl(4), form, {"Button", Rectangle(15, 15, 64, 66), true, false, 151});
    EXPECT_EQ(camera.GetControl(0), f.landscapeLabel);
    EXPECT_EQ(camera.GetControl(1), f.portraitLabel);
    EXPECT_EQ(camera.GetControl(2), f.infoButton);
    EXPECT_EQ(camera.GetControl(3), f.landscapeHoldButton);
    EXPECT_EQ(camera.GetControl(4), f.portraitHoldButton);
    EXPECT_EQ(ui::ControlAccess::LabelBackground(*f.landscapeLabel)->name, "velt.png");
    EXPECT_EQ(ui::ControlAccess::LabelBackground(*f.portraitLabel)->name, "velt3.png");
    for (const Button* b : {f.infoButton, f.landscapeHoldButton, f.portraitHoldButton}) {
        EXPECT_EQ(ui::ControlAccess::ButtonImage(*b, false)->name, "blank.png");
        EXPECT_EQ(ui::ControlAccess::ButtonImage(*b, true)->name, "blank.png");
        ASSERT_EQ(ui::ControlAccess::ActionListeners(*b).size(), 1u);
    }

    const Container& info = *f.infoPanel;
    ASSERT_EQ(info.GetControlCount(), 3);
    ExpectNode(info.GetControl(0), form, {"Label", Rectangle(0, 0, 480, 65), true, false, -1});
    ExpectNode(info.GetControl(1), form, {"Button", Rectangle(360, 8, 83, 48), true, false, 152});
    ExpectNode(info.GetControl(2), form, {"ScrollPanel", Rectangle(0, 65, 480, 735), true, false, -1});
    EXPECT_EQ(ui::ControlAccess::LabelBackground(*static_cast<Label*>(info.GetControl(0)))->name, "info_up.jpg");
    const auto* back = static_cast<Button*>(info.GetControl(1));
    EXPECT_EQ(ui::ControlAccess::ButtonImage(*back, false)->name, "info_back_1.png");
    EXPECT_EQ(ui::ControlAccess::ButtonImage(*back, true)->name, "info_back_2.png");
    const auto* scroll = static_cast<ScrollPanel*>(info.GetControl(2));
    EXPECT_EQ(scroll->GetBackgroundColor(), Color::COLOR_WHITE);
    ASSERT_EQ(scroll->GetControlCount(), 1);
    ExpectNode(scroll->GetControl(0), form, {"Label", Rectangle(0, 0, 480, 1020), true, false, -1});
    EXPECT_EQ(ui::ControlAccess::LabelBackground(*static_cast<Label*>(scroll->GetControl(0)))->name,
              "info_contents.jpg");
    // The help image can scroll by its height less the panel's.
    EXPECT_EQ(scroll->GetScrollRange(), 285);
}

TEST(Form, DecodesEachImageOnceBlankSixTimesAndKeepsOnlyItsOwn)
{
    Harness h;
    std::map<std::string, int> decodes;
    for (const auto& path : h.Trace().Args("Image::DecodeN", "path")) {
        decodes[path]++;
    }
    EXPECT_EQ(h.Trace().Count("Image::DecodeN"), 48);
    EXPECT_EQ(decodes["\"/Res/blank.png\""], 6);
    EXPECT_EQ(decodes.size(), 43u);
    for (const auto& [path, n] : decodes) {
        if (path != "\"/Res/blank.png\"") {
            EXPECT_EQ(n, 1) << path;
        }
    }
    // Only the 38 bitmaps the form keeps are alive; the button and page images went
    // as soon as their controls had them.
    auto kept = h.Inspect().KeptBitmaps();
    EXPECT_EQ(kept.size(), 38u);
    for (auto* b : kept) {
        EXPECT_NE(b, nullptr);
    }
    EXPECT_EQ(Bitmap::GetLiveCount(), 38);

    h.Finish();
    EXPECT_EQ(Bitmap::GetLiveCount(), 0);
    EXPECT_EQ(h.Cameras().Holder(), nullptr);
}

TEST(Form, MissingImagesAreStoredAsNullNeverDrawnAndLoggedOnce)
{
    const std::vector<std::string> gone = {"landscape_pin.png", "bigNum9.png",       "hold_off.png",
                                           "blank.png",         "info_contents.jpg", "velt.png"};
    HarnessOptions o;
    o.resDir = CopyRes("missing-some", gone);
    o.cameraSource = [] { return std::make_unique<NoSizesSource>(); };
    Harness h(o);
    auto f = h.Inspect();
    h.Frames(3);
    ASSERT_EQ(f.orientation, 2);
    for (const auto& name : gone) {
        EXPECT_EQ(h.Log().Count(name + ": file not found"), name == "blank.png" ? 6 : 1) << name;
    }
    int nulls = 0;
    for (auto* b : f.KeptBitmaps()) {
        nulls += b == nullptr;
    }
    EXPECT_EQ(nulls, 4);
    // The frame is drawn from what is there: no pin, no hold image, no 9 in "90.0".
    const auto draws = h.ShownDraws();
    ASSERT_FALSE(draws.empty());
    for (const auto& d : draws) {
        EXPECT_EQ(d.find("landscape_pin.png"), std::string::npos) << d;
        EXPECT_EQ(d.find("hold_off.png"), std::string::npos) << d;
        EXPECT_EQ(d.find("bigNum9.png"), std::string::npos) << d;
    }
    EXPECT_EQ(draws.front().rfind("landscape_originPin.png", 0), 0u);
    EXPECT_EQ(ui::ControlAccess::LabelBackground(*f.landscapeLabel), nullptr);
    EXPECT_FALSE(ui::ControlAccess::ButtonImage(*f.infoButton, false));
    // On screen: the camera's plain colour where the hold image would be, the information
    // image that is there drawn over it.
    const auto screen = h.Screen().Compose();
    EXPECT_EQ(screen.Row(15 + 25)[721 + 25], kCameraColour);
    EXPECT_NE(screen.Row(90 + 25)[15 + 25], kCameraColour);
}

TEST(Form, RunsWithNoImagesAtAll)
{
    HarnessOptions o;
    o.resDir = testing_support::ProcessScratch().File("no-such-res-folder");
    o.cameraSource = [] { return std::make_unique<NoSizesSource>(); };
    Harness h(o);
    h.Frames(5);
    EXPECT_EQ(h.Log().Count("file not found"), 48);
    EXPECT_TRUE(h.ShownDraws().empty());
    EXPECT_GT(h.Device().Camera().FramesProduced(), 0u);
    // Nothing over the camera's picture: every pixel is the camera's colour.
    const auto screen = h.Screen().Compose();
    ASSERT_EQ(screen.width, 800);
    for (int y = 0; y < screen.height; y++) {
        for (int x = 0; x < screen.width; x++) {
            ASSERT_EQ(screen.Row(y)[x], kCameraColour) << "at (" << x << ", " << y << ")";
        }
    }
    h.Finish();
    EXPECT_EQ(Bitmap::GetLiveCount(), 0);
}

TEST(Form, CameraWithNoSizesKeepsItsDefaultAndNoCameraAtAllStillRuns)
{
    {
        HarnessOptions o;
        o.cameraSource = [] { return std::make_unique<NoSizesSource>(); };
        Harness h(o);
        auto f = h.Inspect();
        EXPECT_EQ(h.Trace().Count("Camera::SetPreviewResolution"), 0);
        EXPECT_EQ(f.camera->GetPreviewResolution(), Dimension(800, 480));
        h.Frames(2);
        EXPECT_FALSE(h.ShownDraws().empty());
        // Its picture shows under the dial.
        const auto screen = h.Screen().Compose();
        EXPECT_EQ(screen.Row(470)[790], kCameraColour);
    }
    {
        HarnessOptions o;
        o.camera = false;
        Harness h(o);
        auto f = h.Inspect();
        EXPECT_EQ(h.Trace().Args("Camera::PowerOn", "result"), (std::vector<std::string>{"\"E_DEVICE_UNAVAILABLE\""}));
        EXPECT_EQ(h.Log().Count("no camera source"), 1);
        h.RunMs(1000);
        EXPECT_NE(f.camera->GetState(), CAMERA_STATE_PREVIEW);
        EXPECT_TRUE(h.ShownDraws().empty());
    }
}
