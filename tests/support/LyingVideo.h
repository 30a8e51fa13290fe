// Videos whose frames claim sizes their data does not have, made at test time: a few hundred
// bytes a frame that a decoder taking the claim at its word would turn into gigabytes.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// A 16x16 grey JPEG whose frame header then claims width x height.
std::vector<unsigned char> LyingJpeg(int width, int height);

// Writes an MJPEG AVI at 15 fps, one frame a JPEG as given; the container claims 16x16
// whatever the frames say (its muxer takes no more than 4096 a side). Returns GStreamer's
// error text, or nothing when written.
std::string WriteMjpegAvi(const std::string& path, const std::vector<std::vector<unsigned char>>& frames);

// `frames` frames, each claiming width x height.
std::string WriteLyingVideo(const std::string& path, int width, int height, int frames = 3);

} // namespace testing_support
