// libFuzzer entry point for the record/replay file parser: any text parses or gives one error naming
// the line, and what parses writes back to lines that parse to the same events.
#include "platform/input_script.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<TInputScript> script = ParseInputScript(text, "fuzz.txt", error);
    if (!script) {
        if (error.rfind("fuzz.txt:", 0) != 0) std::abort();
        return 0;
    }
    std::string written;
    if (script->seed) written = "seed " + std::to_string(*script->seed) + "\n";
    int64_t last = 0;
    for (const TScriptEvent& e : script->events) {
        if (e.frame < last) std::abort();
        last = e.frame;
        written += FormatScriptEvent(e) + "\n";
    }
    std::string again_error;
    std::optional<TInputScript> again = ParseInputScript(written, "again.txt", again_error);
    if (!again || again->seed != script->seed || again->events != script->events) std::abort();
    return 0;
}
