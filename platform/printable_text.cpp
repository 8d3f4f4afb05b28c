// Escaping of input bytes for messages.
#include "platform/printable_text.h"

std::string EscapeForMessage(std::string_view bytes, size_t max_bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string_view shown = bytes.substr(0, max_bytes);
    std::string out;
    out.reserve(shown.size() + 3);
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    if (shown.size() < bytes.size()) out += "...";
    return out;
}
