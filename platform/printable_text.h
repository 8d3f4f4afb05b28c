// Quoting input bytes in messages: whatever a file or argument holds, the message stays one line of
// printable text, so no byte of the input reaches the terminal raw.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes with every byte outside printable ASCII (and the backslash) written as \xNN; more than
// `max_bytes` bytes are cut there and end in "...".
std::string EscapeForMessage(std::string_view bytes, size_t max_bytes = 48);
