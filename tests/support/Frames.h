// Frames for camera-source tests: a buffer filled with a poison value (so untouched
// padding shows), and colour comparison within a tolerance per channel.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/Pixels.h"

namespace testing_support {

constexpr std::uint32_t kPoison = 0x00ABCDEFu;

struct Frame {
    int width, height, strideWords;
    std::vector<std::uint32_t> words;
    Frame(int w, int h, int padWords = 0) : width(w), height(h), strideWords(w + padWords)
    {
        words.assign(std::size_t(strideWords) * h, kPoison);
    }
    device::PixelView View() { return {words.data(), width, height, strideWords * 4}; }
    std::uint32_t At(int x, int y) const { return words[std::size_t(y) * strideWords + x]; }
};

inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

} // namespace testing_support
