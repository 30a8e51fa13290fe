// resgen: draws every image Veltora loads from Res/, and checks or previews them.
// Run as `resgen OUTDIR`; the output is the same bytes on every run.
#include "artwork.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kJpegQuality = 92;

void usage(std::ostream& out) {
    out << "usage: resgen OUTDIR                      draw all images into OUTDIR\n"
           "       resgen --preview OUT.png           landscape screen composite\n"
           "       resgen --preview-portrait OUT.png  portrait dial composite\n"
           "       resgen --check DIR                 check the images in DIR\n"
           "       resgen --compare DIR_A DIR_B       check that two sets of images agree\n"
           "       resgen --icon DIR NAME             the application's icon, as DIR/scalable/apps/NAME.svg\n"
           "                                          and DIR/NxN/apps/NAME.png\n";
}

int generate(const std::filesystem::path& dir) {
    // Everything is drawn before anything is written, so a drawing fault leaves OUTDIR as it was.
    std::vector<resgen::Canvas> drawn;
    for (const auto& asset : resgen::allAssets()) drawn.push_back(asset.draw());
    std::filesystem::create_directories(dir);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const auto file = dir / resgen::allAssets()[i].name;
        if (file.extension() == ".jpg")
            resgen::writeJpeg(drawn[i], file, kJpegQuality);
        else
            resgen::writePng(drawn[i], file);
    }
    std::cout << "resgen: wrote " << drawn.size() << " files to " << dir.string() << "\n";
    return 0;
}

int report(int problems, const char* what) {
    if (problems == 0) {
        std::cout << "resgen: " << what << ": all good\n";
        return 0;
    }
    std::cerr << "resgen: " << what << ": " << problems << " problem(s)\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            usage(std::cout);
            return 0;
        }
        if (argc == 2 && argv[1][0] != '-') return generate(argv[1]);
        if (argc == 3 && std::strcmp(argv[1], "--preview") == 0) {
            resgen::writePng(resgen::drawLandscapePreview(), argv[2]);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--preview-portrait") == 0) {
            resgen::writePng(resgen::drawPortraitPreview(), argv[2]);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
            return report(resgen::checkArtwork(argv[2]), "check");
        if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) {
            resgen::writeIcons(argv[2], argv[3]);
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "--compare") == 0)
            return report(resgen::compareArtwork(argv[2], argv[3]), "compare");
        usage(std::cerr);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "resgen: " << e.what() << "\n";
        return 1;
    }
}
