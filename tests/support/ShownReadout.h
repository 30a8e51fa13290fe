// The readout of a shown canvas read back from its digit images, for the tests and the
// fuzzer: the readings tool's decoder, fed the canvas's draws.
#pragma once

#include <optional>
#include <vector>

#include "Readout.h"
#include "graphics/CanvasImpl.h"

namespace testing_support {

inline readings::Readout ShownReadout(const std::vector<graphics::DrawOp>& ops)
{
    std::vector<readings::Draw> draws;
    for (const auto& op : ops) {
        draws.push_back({op.bitmap->name, op.turned ? std::optional<double>(op.angle) : std::nullopt});
    }
    return readings::ReadReadout(draws);
}

} // namespace testing_support
