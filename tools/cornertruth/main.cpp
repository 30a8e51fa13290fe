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

cornertruth::Point P(const json& a, int i) { return {a.at(i * 2).get<double>(), a.at(i * 2 + 1).get<double>()}; }

enum class Outcome { Measured, Failed, Fatal };

// Measures one case and writes its truth into it; throws on a malformed entry.
Outcome MeasureCase(const json& corpus, json& c, std::map<std::string, cornertruth::Gray>& photos)
{
    const std::string photo = c.at("photo");
    if (!photos.count(photo)) {
        codec::DecodedImage image;
        std::string reason;
        if (!codec::DecodeImageFile(PhotoPath(corpus, photo), image, reason, {}, codec::Recognise::ByContent)) {
            std::fprintf(stderr, "veltora: cannot read photo %s: %s\n", photo.c_str(), reason.c_str());
            return Outcome::Fatal;
        }
        photos[photo] = cornertruth::Gray::FromArgb(image.pixels.data(), image.width, image.height);
    }
    if (!c.contains("arms")) {
        std::printf("%-10s %-22s refuse  (%s)\n", c.value("id", "").c_str(), photo.c_str(),
                    c.value("kind", "").c_str());
        return Outcome::Measured;
    }
    const json& a = c.at("arms");
    const cornertruth::CornerTruth t = cornertruth::Measure(photos[photo], P(a.at(0), 0), P(a.at(0), 1), P(a.at(1), 0),
                                                            P(a.at(1), 1), c.value("across", 4.0));
    if (!t.ok) {
        std::fprintf(stderr, "veltora: case %s: %s\n", c.value("id", "").c_str(), t.why.c_str());
        return Outcome::Failed;
    }
    c["truth"] = std::round(t.opening * 1000) / 1000;
    c["u"] = std::round(t.halfWidth95 * 1000) / 1000;
    c["vertex"] = {std::round(t.vertex.x * 100) / 100, std::round(t.vertex.y * 100) / 100};
    std::printf("%-10s %-22s %8.3f ± %.3f  vertex (%.1f, %.1f)  arms %d/%d pts, rms %.2f/%.2f px, bend %.2f/%.2f°\n",
                c.value("id", "").c_str(), photo.c_str(), t.opening, t.halfWidth95, t.vertex.x, t.vertex.y,
                t.arms[0].points, t.arms[1].points, t.arms[0].rms, t.arms[1].rms, t.arms[0].bend, t.arms[1].bend);
    return Outcome::Measured;
}

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
    if (!corpus.is_object() || !corpus.contains("cases") || !corpus.at("cases").is_array()) {
        std::fprintf(stderr, "veltora: corpus %s has no list of cases\n", argv[1]);
        return 1;
    }
    std::map<std::string, cornertruth::Gray> photos;
    int failed = 0;
    for (json& c : corpus.at("cases")) {
        // A case that names an unknown root or holds a malformed field is told and skipped; the
        // others are still measured and the file is still written.
        try {
            const Outcome o = MeasureCase(corpus, c, photos);
            if (o == Outcome::Fatal) {
                return 1;
            }
            failed += o == Outcome::Failed;
        } catch (const std::exception& e) {
            const bool named = c.is_object() && c.contains("id") && c.at("id").is_string();
            std::fprintf(stderr, "veltora: case %s: %s\n", named ? c.at("id").get<std::string>().c_str() : "?",
                         e.what());
            failed++;
        }
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
