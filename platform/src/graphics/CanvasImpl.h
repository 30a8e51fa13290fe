// A canvas is kept as the list of its draw calls: showing it hands the list to the
// screen, which draws it straight onto the composed picture (and the trace lists it).
#pragma once

#include <memory>
#include <vector>

#include "graphics/BitmapData.h"
#include "osp/Graphics.h"

namespace graphics {

struct DrawOp {
    std::shared_ptr<const BitmapData> bitmap;
    Osp::Graphics::Point point;
    Osp::Graphics::Point pivot;
    int angle = 0;
    bool turned = false; // drawn with the pivot-and-angle call
};

class CanvasImpl {
public:
    Osp::Graphics::Rectangle bounds;
    std::vector<DrawOp> ops;
    bool constructed = false;
};

} // namespace graphics
