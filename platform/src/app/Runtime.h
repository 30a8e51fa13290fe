// One run of an application on the device: start-up through the factory and
// OnAppInitializing, and the one way it ends, whatever ended it.
#pragma once

#include <memory>

#include "osp/App.h"

namespace device {
class Device;
}

namespace app {

class Runtime {
public:
    Runtime(device::Device& device, Osp::App::ApplicationInstanceFactory factory,
            const Osp::Base::Collection::IList* arguments);
    // Finishes the run if Start succeeded and Finish was not called.
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Creates the application and its frame and calls OnAppInitializing; the form added
    // to the frame there has had its OnInitializing when this returns.
    Osp::Base::result Start();
    // OnAppTerminating, then OnTerminating for every control, then everything is freed.
    void Finish();

    Osp::App::Application* App() const { return m_pApp; }
    bool Running() const { return m_pApp != nullptr; }

private:
    device::Device& m_device;
    Osp::App::ApplicationInstanceFactory m_factory;
    const Osp::Base::Collection::IList* m_pArguments;
    Osp::App::Application* m_pApp = nullptr;
    std::unique_ptr<Osp::App::AppFrame> m_pAppFrame;
    Osp::App::AppRegistry m_registry;
};

} // namespace app
