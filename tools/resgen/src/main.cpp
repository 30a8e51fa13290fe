// resgen: draws every image Veltora loads from Res/, and checks or previews them.
// Run as `resgen OUTDIR`; the output is the same bytes on every run.
#include "Artwork.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kJpegQuality = 92;

void Usage(std::ostream& out)
{
    out << "usage: resgen OUTDIR                      draw all images into OUTDIR\n"
           "       resgen --preview OUT.png           landscape screen composite\n"
           "       resgen --preview-portrait OUT.png  portrait dial composite\n"
           "       resgen --check DIR                 check the images in DIR\n"
           "       resgen --compare DIR_A DIR_B       check that two sets of images agree\n"
           "       resgen --icon DIR NAME             the application's icon, as DIR/scalable/apps/NAME.svg\n"
           "                                          and DIR/NxN/apps/NAME.png\n";
}

int Generate(const std::filesystem::path& dir)
{
    // Everything is drawn before anything is written, so a drawing fault leaves OUTDIR as it was.
    std::vector<resgen::Canvas> drawn;
    for (const auto& asset : resgen::AllAssets()) drawn.push_back(asset.draw());
    std::filesystem::create_directories(dir);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const auto file = dir / resgen::AllAssets()[i].name;
        if (file.extension() == ".jpg")
            resgen::WriteJpeg(drawn[i], file, kJpegQuality);
        else
            resgen::WritePng(drawn[i], file);
    }
    std::cout << "resgen: wrote " << drawn.size() << " files to " << dir.string() << "\n";
    return 0;
}

int Report(int problems, const char* what)
{
    if (problems == 0) {
        std::cout << "resgen: " << what << ": all good\n";
        return 0;
    }
    std::cerr << "resgen: " << what << ": " << problems << " problem(s)\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            Usage(std::cout);
            return 0;
        }
        if (argc == 2 && argv[1][0] != '-') return Generate(argv[1]);
        if (argc == 3 && std::strcmp(argv[1], "--preview") == 0) {
            resgen::WritePng(resgen::DrawLandscapePreview(), argv[2]);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--preview-portrait") == 0) {
            resgen::WritePng(resgen::DrawPortraitPreview(), argv[2]);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return Report(resgen::CheckArtwork(argv[2]), "check");
        if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) {
            resgen::WriteIcons(argv[2], argv[3]);
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "--compare") == 0)
            return Report(resgen::CompareArtwork(argv[2], argv[3]), "compare");
        Usage(std::cerr);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "resgen: " << e.what() << "\n";
        return 1;
    }
}
