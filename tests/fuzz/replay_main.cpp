// Runs a fuzz target's entry points over files and folders of inputs, as a fuzzing run starts with
// its corpus, and fails when an input is missing or the target moves the working folder from under
// its caller (relative corpus paths and artifact paths would then mean another place).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const fs::path start = fs::current_path();
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::vector<fs::path> inputs;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::directory_iterator(argv[i], ec))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
            std::sort(inputs.begin(), inputs.end());
        } else if (fs::is_regular_file(argv[i], ec)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such input (working folder %s)\n", argv[i],
                         fs::current_path().c_str());
            return 1;
        }
        for (const fs::path& input : inputs) {
            std::ifstream in(input, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
            if (fs::current_path() != start) {
                std::fprintf(stderr, "%s moved the working folder to %s\n", input.c_str(),
                             fs::current_path().c_str());
                return 1;
            }
        }
    }
    std::printf("%zu inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
