// Pictures padded with segments and chunks their decoders pass over, and with bytes after
// their end, up to the largest file taken and one byte more: memory stays near the picture's.
#include "media/test_image_codec_files.h"

#include "codec/Formats.h"

using namespace testing_support::codec_files;

namespace {

// This process's resident memory in KiB: now, or at its peak since PeakFromNow.
long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

void PeakFromNow() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Decodes `file` and says how far above the memory in use before it the peak rose, in MiB.
long PeakMiBOfDecoding(const std::string& file, Decoded& d)
{
    const long before = StatusKiB("VmRSS:");
    PeakFromNow();
    d = decode(file);
    return (StatusKiB("VmHWM:") - before) / 1024;
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0xFFFFFFFFu)
{
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

// Writes `picture` with `segment` repeated `count` times after its first `at` bytes, a
// piece at a time so the test itself holds no more than one segment.
void WritePadded(const std::string& path, const Bytes& picture, std::size_t at, const Bytes& segment, int count)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(at));
    for (int i = 0; i < count; ++i)
        out.write(reinterpret_cast<const char*>(segment.data()), std::streamsize(segment.size()));
    out.write(reinterpret_cast<const char*>(picture.data() + at), std::streamsize(picture.size() - at));
}

constexpr int kPaddingMiB = 48;

} // namespace

TEST_F(ImageCodecTest, PaddingAPictureCostsTimeNotMemory)
{
    // A JPEG with APP2 segments of the largest size after its start marker.
    Bytes app2 = {0xFF, 0xE2, 0xFF, 0xFF};
    app2.resize(4 + 65533, 0);
    WritePadded(path("padded.jpg"), readFile(sampleJpeg()), 2, app2, kPaddingMiB * 16);
    // A PNG with a private ancillary chunk of a megabyte, again and again, after its header.
    Bytes chunk = {0x00, 0x10, 0x00, 0x00, 'p', 'r', 'V', 't'};
    chunk.resize(8 + (1u << 20), 0);
    const std::uint32_t crc = ~Crc32(chunk.data() + 4, chunk.size() - 4);
    chunk.insert(chunk.end(),
                 {std::uint8_t(crc >> 24), std::uint8_t(crc >> 16), std::uint8_t(crc >> 8), std::uint8_t(crc)});
    WritePadded(path("padded.png"), readFile(samplePng()), 33, chunk, kPaddingMiB);

    for (const auto& [file, width] : {std::pair{path("padded.jpg"), 16}, std::pair{path("padded.png"), 3}}) {
        ASSERT_GT(fs::file_size(file), std::uintmax_t(kPaddingMiB) << 20);
        Decoded d;
        const long peak = PeakMiBOfDecoding(file, d);
        ASSERT_TRUE(d.ok) << file << ": " << d.reason;
        EXPECT_EQ(d.img.width, width) << file;
        EXPECT_LT(peak, 8) << file << " was held whole (" << kPaddingMiB << " MiB of padding)";
    }
}

// The files are sparse: what follows the picture costs no disk, and is never read.
TEST_F(ImageCodecTest, TheLargestFileTakenDecodesInItsPicturesMemoryAndOneByteMoreIsRefused)
{
    const Bytes jpeg = readFile(sampleJpeg());
    const std::uint64_t most = codec::detail::kMaxFileBytes;
    writeFile(path("at.jpg"), jpeg);
    ASSERT_EQ(::truncate(path("at.jpg").c_str(), off_t(most)), 0);
    Decoded d;
    const long peak = PeakMiBOfDecoding(path("at.jpg"), d);
    ASSERT_TRUE(d.ok) << d.reason;
    EXPECT_EQ(d.img.width, 16);
    EXPECT_LT(peak, 8) << "the " << (most >> 20) << " MiB file was held whole";

    writeFile(path("over.jpg"), jpeg);
    ASSERT_EQ(::truncate(path("over.jpg").c_str(), off_t(most + 1)), 0);
    expectFailure(path("over.jpg"), "file too large (" + std::to_string(most + 1) + " bytes)");
}
