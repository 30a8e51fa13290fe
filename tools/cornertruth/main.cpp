// veltora-cornertruth: fills a corner corpus's truths from its hand-placed arm stretches, and
// prints the table; the edge finder's tests judge its readings against what this writes.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "Truth.h"
#include "codec/ImageCodec.h"

using nlohmann::json;

namespace {

std::string PhotoPath(const json& corpus, const std::string& photo)
{
    const auto colon = photo.find(':');
    if (colon == std::string::npos) {
        return photo;
    }
    return corpus.at("roots").at(photo.substr(0, colon)).get<std::string>() + "/" + photo.substr(colon + 1);
}

cornertruth::Point P(const json& a, int i) { return {a[i * 2].get<double>(), a[i * 2 + 1].get<double>()}; }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: veltora-cornertruth CORPUS.json [OUT.json]\n"
                             "Measures each case's arms (\"arms\": [[x0,y0,x1,y1], [...]], from the corner outward)\n"
                             "and writes \"truth\" and \"u\" (degrees, about 95 %%) to OUT (default: print only).\n");
        return 2;
    }
    json corpus;
    try {
        std::ifstream in(argv[1]);
        corpus = json::parse(in);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veltora: cannot read corpus %s: %s\n", argv[1], e.what());
        return 1;
    }
    std::map<std::string, cornertruth::Gray> photos;
    int failed = 0;
    for (json& c : corpus.at("cases")) {
        const std::string photo = c.at("photo");
        if (!photos.count(photo)) {
            codec::DecodedImage image;
            std::string reason;
            if (!codec::DecodeImageFile(PhotoPath(corpus, photo), image, reason, {}, codec::Recognise::ByContent)) {
                std::fprintf(stderr, "veltora: cannot read photo %s: %s\n", photo.c_str(), reason.c_str());
                return 1;
            }
            photos[photo] = cornertruth::Gray::FromArgb(image.pixels.data(), image.width, image.height);
        }
        if (!c.contains("arms")) {
            std::printf("%-10s %-22s refuse  (%s)\n", c.value("id", "").c_str(), photo.c_str(),
                        c.value("kind", "").c_str());
            continue;
        }
        const json& a = c.at("arms");
        const cornertruth::CornerTruth t =
            cornertruth::Measure(photos[photo], P(a[0], 0), P(a[0], 1), P(a[1], 0), P(a[1], 1), c.value("across", 4.0));
        if (!t.ok) {
            std::fprintf(stderr, "veltora: case %s: %s\n", c.value("id", "").c_str(), t.why.c_str());
            failed++;
            continue;
        }
        c["truth"] = std::round(t.opening * 1000) / 1000;
        c["u"] = std::round(t.halfWidth95 * 1000) / 1000;
        c["vertex"] = {std::round(t.vertex.x * 100) / 100, std::round(t.vertex.y * 100) / 100};
        std::printf(
            "%-10s %-22s %8.3f ± %.3f  vertex (%.1f, %.1f)  arms %d/%d pts, rms %.2f/%.2f px, bend %.2f/%.2f°\n",
            c.value("id", "").c_str(), photo.c_str(), t.opening, t.halfWidth95, t.vertex.x, t.vertex.y,
            t.arms[0].points, t.arms[1].points, t.arms[0].rms, t.arms[1].rms, t.arms[0].bend, t.arms[1].bend);
    }
    if (argc == 3) {
        std::ofstream out(argv[2]);
        out << corpus.dump(1) << "\n";
        if (!out) {
            std::fprintf(stderr, "veltora: cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return failed ? 1 : 0;
}
