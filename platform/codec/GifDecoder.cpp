// The GIF decoder: giflib reads the first frame as the file goes; its transparent colour
// becomes transparent pixels.
#include "codec/Formats.h"
#include "codec/Input.h"

#include <cstring>

#include <gif_lib.h>

namespace codec::detail {
namespace {

struct GifSource {
    Input* input;
    // giflib reports a short read under several codes, some of them not about reading at all.
    bool exhausted;
};

int GifRead(GifFileType* gif, GifByteType* dst, int len)
{
    auto* s = static_cast<GifSource*>(gif->UserData);
    if (len <= 0) return 0;
    const std::size_t n = s->input->Read(dst, static_cast<std::size_t>(len));
    if (n < static_cast<std::size_t>(len)) s->exhausted = true;
    return static_cast<int>(n);
}

struct GifHandle {
    GifFileType* gif = nullptr;
    ~GifHandle()
    {
        int err = 0;
        if (gif) DGifCloseFile(gif, &err);
    }
};

std::string GifReason(int code, const GifSource& src)
{
    if (src.exhausted) return TruncatedReason(Format::Gif);
    switch (code) {
    case D_GIF_ERR_READ_FAILED: return TruncatedReason(Format::Gif);
    case D_GIF_ERR_NOT_GIF_FILE: return "not a GIF file";
    case D_GIF_ERR_NOT_ENOUGH_MEM: return "out of memory";
    default: {
        const char* text = GifErrorString(code);
        return CorruptReason(Format::Gif, text ? text : ("error " + std::to_string(code)).c_str());
    }
    }
}

std::string GifReason(GifFileType* gif) { return GifReason(gif->Error, *static_cast<const GifSource*>(gif->UserData)); }

bool DecodeGifFrame(GifFileType* gif, int transparent, const Limits& limits, DecodedImage& img, std::string& reason)
{
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        reason = GifReason(gif);
        return false;
    }
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map) {
        reason = CorruptReason(Format::Gif, "no colour table");
        return false;
    }
    if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) {
        reason = CorruptReason(Format::Gif, "bad frame size");
        return false;
    }
    // Some writers leave the screen size at zero; the first frame's extent stands in for it.
    std::uint64_t cw = std::uint64_t(gif->SWidth), ch = std::uint64_t(gif->SHeight);
    if (cw == 0 || ch == 0) {
        cw = std::uint64_t(d.Left) + std::uint64_t(d.Width);
        ch = std::uint64_t(d.Top) + std::uint64_t(d.Height);
    }
    if (!SizeAllowed(cw, ch, limits, reason)) return false;
    if (TooLarge(std::uint64_t(d.Width), std::uint64_t(d.Height))) {
        reason = TooLargeReason(std::uint64_t(d.Width), std::uint64_t(d.Height));
        return false;
    }

    // Indices past the colour table (the LZW code size allows them) read as transparent,
    // never as memory beyond the table.
    std::uint32_t table[256] = {};
    const int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        table[i] = Premultiply(c.Red, c.Green, c.Blue, 255);
    }
    if (transparent >= 0 && transparent < 256) table[transparent] = 0;

    // Parts of the screen that the first frame does not cover are transparent.
    std::vector<std::uint32_t> pixels(cw * ch, 0u);
    std::vector<GifPixelType> line(static_cast<std::size_t>(d.Width));
    auto PutRow = [&](int y) -> bool {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
            reason = GifReason(gif);
            return false;
        }
        const std::uint64_t cy = std::uint64_t(d.Top) + std::uint64_t(y);
        if (cy >= ch) return true;
        std::uint32_t* dst = pixels.data() + cy * cw;
        for (int x = 0; x < d.Width; ++x) {
            const std::uint64_t cx = std::uint64_t(d.Left) + std::uint64_t(x);
            if (cx < cw) dst[cx] = table[line[static_cast<std::size_t>(x)]];
        }
        return true;
    };
    if (d.Interlace) {
        // Interlaced frames arrive as four passes of every 8th, 8th, 4th and 2nd row.
        static const int start[4] = {0, 4, 2, 1};
        static const int step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < d.Height; y += step[pass])
                if (!PutRow(y)) return false;
    } else {
        for (int y = 0; y < d.Height; ++y)
            if (!PutRow(y)) return false;
    }
    img.width = static_cast<int>(cw);
    img.height = static_cast<int>(ch);
    img.pixels = std::move(pixels);
    return true;
}

} // namespace

bool DecodeGif(Input& input, const Limits& limits, DecodedImage& img, std::string& reason)
{
    if (!CheckHead(input.Head(), Format::Gif, limits, reason)) return false;

    GifSource src{&input, false};
    int err = 0;
    GifHandle h;
    h.gif = DGifOpen(&src, GifRead, &err);
    if (!h.gif) {
        reason = GifReason(err, src);
        return false;
    }
    GifFileType* gif = h.gif;
    if (TooLarge(std::uint64_t(std::max(gif->SWidth, 0)), std::uint64_t(std::max(gif->SHeight, 0)))) {
        reason = TooLargeReason(std::uint64_t(gif->SWidth), std::uint64_t(gif->SHeight));
        return false;
    }
    // Only the graphic control block that precedes the first frame applies to it.
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            reason = GifReason(gif);
            return false;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) return DecodeGifFrame(gif, transparent, limits, img, reason);
        if (type == TERMINATE_RECORD_TYPE) {
            reason = CorruptReason(Format::Gif, "no image");
            return false;
        }
        if (type != EXTENSION_RECORD_TYPE) {
            reason = CorruptReason(Format::Gif, "unknown record");
            return false;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            reason = GifReason(gif);
            return false;
        }
        bool first = true;
        while (block) {
            GraphicsControlBlock gcb;
            if (first && code == GRAPHICS_EXT_FUNC_CODE && DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
            first = false;
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                reason = GifReason(gif);
                return false;
            }
        }
    }
}

} // namespace codec::detail
