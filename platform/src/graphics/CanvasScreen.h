// Where Canvas::Show puts a canvas: the screen of the platform running on the device,
// which the platform offers through this interface so graphics needs nothing above it.
#pragma once

namespace graphics {

class CanvasImpl;

class CanvasScreen {
public:
    // The canvas's draw calls become what the screen shows over the camera picture.
    virtual void ShowCanvas(const CanvasImpl& canvas) = 0;

protected:
    ~CanvasScreen() = default;
};

} // namespace graphics
