// Every input kept under tests/fuzz_regressions/<target>/ (each once crashed or hung a fuzz target),
// and one real file per target, run through the fuzz entry points in the normal build.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int FuzzPixmapOneInput(const uint8_t* data, size_t size);
extern "C" int FuzzAudioSampleOneInput(const uint8_t* data, size_t size);
extern "C" int FuzzStreamOneInput(const uint8_t* data, size_t size);
extern "C" int FuzzInputScriptOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;
using entry_point = int (*)(const uint8_t*, size_t);

std::vector<uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the kept inputs of `target` and the real sample file; an entry point aborts on a wrong result,
// so returning at all is the check, and a missing sample file fails the test.
void run_inputs(const std::string& target, entry_point run, const std::string& sample) {
    std::vector<fs::path> inputs{fs::path(SOURCE_DIR) / sample};
    const fs::path kept = fs::path(SOURCE_DIR) / "tests" / "fuzz_regressions" / target;
    if (fs::is_directory(kept))
        for (const fs::directory_entry& entry : fs::directory_iterator(kept))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        ASSERT_TRUE(fs::is_regular_file(input));
        const std::vector<uint8_t> bytes = read_bytes(input);
        EXPECT_EQ(run(bytes.data(), bytes.size()), 0);
    }
}

TEST(FuzzRegressions, Pixmap) {
    run_inputs("pixmap", FuzzPixmapOneInput, "assets/graphx/dmpointer.png");
}
TEST(FuzzRegressions, AudioSample) {
    run_inputs("audio_sample", FuzzAudioSampleOneInput, "data/thud.ogg");
}
TEST(FuzzRegressions, Stream) {
    run_inputs("stream", FuzzStreamOneInput, "assets/graphx/RetroBorderSpr.png");
}
TEST(FuzzRegressions, InputScript) {
    run_inputs("input_script", FuzzInputScriptOneInput, "bench/demos/typical.txt");
}

} // namespace
