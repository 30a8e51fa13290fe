// The decoded images' budget: one count of bytes for the whole process, taken when an
// image's bitmap is made and given back when its last user lets it go.
#include "graphics/ImageBudget.h"

#include <atomic>
#include <cstdio>

namespace graphics {

namespace {

std::atomic<std::uint64_t> g_inUse{0};

std::string Mebibytes(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / (1024.0 * 1024.0));
    return text;
}

} // namespace

bool ImageFitsBudget(int width, int height, int bytesPerPixel, std::string& reason)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        reason = "image too large (" + size + "; an image may be at most " + std::to_string(kMaxImageSide) + "x" +
                 std::to_string(kMaxImageSide) + ")";
        return false;
    }
    // As the bitmap keeps it: rows padded to whole words.
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bytesPerPixel) + 3) & ~std::uint64_t(3);
    const std::uint64_t need = stride * std::uint64_t(height);
    const std::uint64_t used = g_inUse.load();
    if (need > kImageBudgetBytes || used > kImageBudgetBytes - need) {
        reason = "not enough image memory (" + size + " needs " + Mebibytes(need) + "; " + Mebibytes(used) + " of " +
                 Mebibytes(kImageBudgetBytes) + " in use)";
        return false;
    }
    return true;
}

std::uint64_t ImageBytesInUse() { return g_inUse.load(); }

bool ChargeImageBytes(std::uint64_t bytes)
{
    std::uint64_t used = g_inUse.load();
    do {
        if (bytes > kImageBudgetBytes || used > kImageBudgetBytes - bytes) {
            return false;
        }
    } while (!g_inUse.compare_exchange_weak(used, used + bytes));
    return true;
}

void ReleaseImageBytes(std::uint64_t bytes) { g_inUse.fetch_sub(bytes); }

} // namespace graphics
