// The JPEG decoder: libjpeg-turbo straight into ARGB words, with damaged data, endless
// progressive scans and cut-off files all reported rather than shown as grey.
#include "codec/Formats.h"
#include "codec/Input.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h expects FILE and size_t to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces are needed to decode straight into ARGB words"
#endif

namespace codec::detail {
namespace {

// libjpeg-turbo writes the four bytes of each pixel in memory order, alpha set to 0xFF; pick
// the order that lands as 0xAARRGGBB in a native word.
constexpr J_COLOR_SPACE kNativeArgb = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool truncated = false;
    // Set when the picture's size is refused; says why.
    std::string refused;
    const Limits* limits = nullptr;
    bool tooManyScans = false;
    int errorCode = 0;
    char message[JMSG_LENGTH_MAX] = {};
    DecodedImage* image = nullptr;
    Input* input = nullptr;
    std::vector<JSAMPLE> cmykRow;

    JpegJob()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&src, 0, sizeof src);
        std::memset(&progress, 0, sizeof progress);
    }
    ~JpegJob() { jpeg_destroy_decompress(&cinfo); } // a no-op on the zeroed struct
    JpegJob(const JpegJob&) = delete;
    JpegJob& operator=(const JpegJob&) = delete;
};

JpegJob* JobOf(j_common_ptr c) { return static_cast<JpegJob*>(c->client_data); }

void JpegErrorExit(j_common_ptr c)
{
    JpegJob* job = JobOf(c);
    job->errorCode = c->err->msg_code;
    (*c->err->format_message)(c, job->message);
    std::longjmp(job->jump, 1);
}

// libjpeg only warns about damaged entropy data and fills the rest of the picture with grey;
// showing that as if it were the image would be wrong, so those warnings end the decode.
void JpegEmitMessage(j_common_ptr c, int level)
{
    if (level >= 0) return; // trace output
    const int code = c->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_JPEG_EOF) {
        JobOf(c)->truncated = true;
        JpegErrorExit(c);
    }
    if (code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC) JpegErrorExit(c);
}

void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}

// The file is handed over a chunk at a time; a refill that finds nothing means it has ended.
boolean JpegFillInput(j_decompress_ptr c)
{
    JpegJob* job = JobOf(reinterpret_cast<j_common_ptr>(c));
    std::size_t available = 0;
    const std::uint8_t* next = job->input->Next(available);
    if (!next) {
        job->truncated = true;
        ERREXIT(c, JERR_INPUT_EOF);
        return FALSE;
    }
    job->input->Take(available);
    c->src->next_input_byte = next;
    c->src->bytes_in_buffer = available;
    return TRUE;
}

// Segments the decoder has no use for (padding, thumbnails, profiles) are read past, never kept.
void JpegSkipInput(j_decompress_ptr c, long count)
{
    if (count <= 0) return;
    if (static_cast<unsigned long>(count) <= c->src->bytes_in_buffer) {
        c->src->next_input_byte += count;
        c->src->bytes_in_buffer -= static_cast<std::size_t>(count);
        return;
    }
    const std::uint64_t beyond = static_cast<std::uint64_t>(count) - c->src->bytes_in_buffer;
    c->src->next_input_byte = nullptr;
    c->src->bytes_in_buffer = 0;
    if (!JobOf(reinterpret_cast<j_common_ptr>(c))->input->Skip(beyond)) JpegFillInput(c);
}

void JpegProgress(j_common_ptr c)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxJpegScans) {
        JpegJob* job = JobOf(c);
        job->tooManyScans = true;
        std::longjmp(job->jump, 1);
    }
}

// Only trivially destructible locals live here: a longjmp out of libjpeg lands in this frame.
bool RunJpegDecode(JpegJob* job)
{
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->jump)) return false;
    jpeg_create_decompress(cinfo);
    job->src.next_input_byte = nullptr;
    job->src.bytes_in_buffer = 0;
    job->src.init_source = JpegInitSource;
    job->src.fill_input_buffer = JpegFillInput;
    job->src.skip_input_data = JpegSkipInput;
    job->src.resync_to_restart = jpeg_resync_to_restart;
    job->src.term_source = JpegTermSource;
    cinfo->src = &job->src;
    job->progress.progress_monitor = JpegProgress;
    cinfo->progress = &job->progress;

    jpeg_read_header(cinfo, TRUE);
    if (!SizeAllowed(cinfo->image_width, cinfo->image_height, *job->limits, job->refused)) return false;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : kNativeArgb;
    jpeg_start_decompress(cinfo);
    const JDIMENSION w = cinfo->output_width;
    const JDIMENSION h = cinfo->output_height;
    if (w != cinfo->image_width || h != cinfo->image_height || cinfo->output_components != 4)
        ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);

    std::vector<std::uint32_t>& pixels = job->image->pixels;
    pixels.resize(std::size_t(w) * h);
    if (cmyk) job->cmykRow.resize(std::size_t(w) * 4);
    // Adobe's CMYK JPEGs store ink inverted (255 = none); without its marker the ink is as is.
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < h) {
        const JDIMENSION y = cinfo->output_scanline;
        std::uint32_t* line = pixels.data() + std::size_t(y) * w;
        JSAMPROW row = cmyk ? job->cmykRow.data() : reinterpret_cast<JSAMPROW>(line);
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) ERREXIT(cinfo, JERR_INPUT_EOF);
        if (cmyk) {
            for (JDIMENSION x = 0; x < w; ++x) {
                const JSAMPLE* p = row + x * 4;
                unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                line[x] = Premultiply((c * k + 127) / 255, (m * k + 127) / 255, (ye * k + 127) / 255, 255);
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

bool DecodeJpeg(Input& input, const Limits& limits, DecodedImage& img, std::string& reason)
{
    if (!CheckHead(input.Head(), Format::Jpeg, limits, reason)) return false;

    JpegJob job;
    job.image = &img;
    job.input = &input;
    job.limits = &limits;
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = JpegErrorExit;
    job.err.emit_message = JpegEmitMessage;
    job.cinfo.client_data = &job;

    if (RunJpegDecode(&job)) {
        img.width = static_cast<int>(job.cinfo.output_width);
        img.height = static_cast<int>(job.cinfo.output_height);
        return true;
    }
    if (!job.refused.empty())
        reason = job.refused;
    else if (job.truncated)
        reason = TruncatedReason(Format::Jpeg);
    else if (job.tooManyScans)
        reason = CorruptReason(Format::Jpeg, "too many scans");
    else if (job.errorCode == JERR_OUT_OF_MEMORY)
        reason = "out of memory";
    else
        reason = CorruptReason(Format::Jpeg, job.message);
    return false;
}

} // namespace codec::detail

namespace codec {

bool JpegFrameSize(const std::uint8_t* data, std::size_t size, std::uint32_t& width, std::uint32_t& height)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        // Markers without a length: restarts, and TEM.
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        // The frame headers: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 9 > size) return false;
            height = std::uint32_t(data[at + 5]) << 8 | data[at + 6];
            width = std::uint32_t(data[at + 7]) << 8 | data[at + 8];
            return true;
        }
        // Image data or the end before any frame header.
        if (marker == 0xDA || marker == 0xD9) return false;
        at += 2 + (std::size_t(data[at + 2]) << 8 | data[at + 3]);
    }
    return false;
}

} // namespace codec
