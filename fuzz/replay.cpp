// Replays saved fuzzer inputs (the corpus, and any findings) through the same entry point the
// fuzzer calls, so ctest checks every kept input on every build, with or without clang.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& e : fs::directory_iterator(argv[i])) {
                if (e.is_regular_file()) {
                    inputs.push_back(e.path());
                }
            }
        } else if (fs::is_regular_file(argv[i], ec)) {
            inputs.emplace_back(argv[i]);
        } else if (std::string(argv[i]).find("findings") == std::string::npos) {
            // A missing findings folder only means nothing was ever found.
            std::fprintf(stderr, "fuzz_replay: %s: no such file or folder\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "fuzz_replay: %s: cannot read\n", path.c_str());
            return 2;
        }
        std::fprintf(stderr, "fuzz_replay: %s (%zu bytes)\n", path.filename().c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // An empty corpus would let this pass without checking anything.
    if (inputs.empty()) {
        std::fprintf(stderr, "fuzz_replay: no inputs to replay\n");
        return 1;
    }
    std::printf("fuzz_replay: %zu inputs replayed, every invariant held\n", inputs.size());
    return 0;
}
