// The memory the phone sets aside for decoded images: a cap per image and one for all of
// them together, so that a few files claiming huge sizes cannot take the machine's memory.
#pragma once

#include <cstdint>
#include <string>

namespace graphics {

// No decoded image may be wider or taller than this...
inline constexpr int kMaxImageSide = 4096;
// ...and the pixels of all decoded images alive at once stay within this.
inline constexpr std::uint64_t kImageBudgetBytes = 64ull * 1024 * 1024;

// Whether an image of width x height, kept at `bytesPerPixel`, may be decoded now; on
// false `reason` says which bound it passes ("image too large (8192x8192, ...)").
bool ImageFitsBudget(int width, int height, int bytesPerPixel, std::string& reason);

// Bytes of decoded images alive now.
std::uint64_t ImageBytesInUse();

// Takes `bytes` from the budget for one decoded image; false (taking nothing) when they do
// not fit. Given back with ReleaseImageBytes when the image goes.
bool ChargeImageBytes(std::uint64_t bytes);
void ReleaseImageBytes(std::uint64_t bytes);

} // namespace graphics
