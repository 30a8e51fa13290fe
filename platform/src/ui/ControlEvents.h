// What every control does on a call from the application: the call goes into the trace,
// and a change redraws the platform's screen.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "osp/Graphics.h"
#include "osp/Ui.h"

namespace ui {

// The screen of the platform on the device composes again at its next chance.
void ScreenChanged();

// A call made on `control`, with its arguments in JSON form, when anything traces.
void TraceCall(const Osp::Ui::Control& control, const std::string& name,
               std::vector<std::pair<std::string, std::string>> args = {});
std::string RectArg(const Osp::Graphics::Rectangle& r);
std::string BitmapArg(const Osp::Graphics::Bitmap& b);

} // namespace ui
