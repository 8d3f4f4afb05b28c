// libFuzzer entry point for the typed stream reads and ReadLine over a memory stream: any bytes and any
// sequence of reads, skips and seeks give values or the stream's read error, never a crash.
#include "platform/stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The value a little-endian read of `n` bytes at `pos` must give: bytes past the end read as zero.
uint64_t expected_le(const std::vector<uint8_t>& bytes, int pos, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) {
        const size_t at = static_cast<size_t>(pos) + static_cast<size_t>(i);
        v = (v << 8) | (at < bytes.size() ? bytes[at] : 0);
    }
    return v;
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte gives the number of operation bytes (low 6 bits) and whether to read through a
    // wrapper (top bit); the operation bytes follow, and the rest is the stream's content.
    const size_t op_count = std::min<size_t>(data[0] & 63, size - 1);
    const bool wrapped = (data[0] & 128) != 0;
    const std::vector<uint8_t> ops(data + 1, data + 1 + op_count);
    std::vector<uint8_t> bytes(data + 1 + op_count, data + size);
    const int size_bytes = static_cast<int>(bytes.size());

    std::shared_ptr<TStream> ram = TRamStream::Create(bytes.data(), size_bytes, 1, 0);
    check(ram != nullptr);
    // Through the wrapper every call takes the forwarding path the loaders use on opened locations.
    std::shared_ptr<TStream> stream = wrapped ? OpenStream(ram, 1, 0) : ram;
    check(stream != nullptr);

    for (size_t i = 0; i < ops.size(); ++i) {
        const int pos = stream->Pos();
        check(pos >= 0 && pos <= size_bytes);
        const int left = size_bytes - pos;
        const uint8_t op = ops[i];
        try {
            switch (op % 11) {
            case 0: check(stream->ReadByte() == expected_le(bytes, pos, 1)); break;
            case 1: check(stream->ReadShort() == expected_le(bytes, pos, 2)); break;
            case 2: check(static_cast<uint32_t>(stream->ReadInt()) == expected_le(bytes, pos, 4)); break;
            case 3: check(static_cast<uint64_t>(stream->ReadLong()) == expected_le(bytes, pos, 8)); break;
            case 4: {
                float f = stream->ReadFloat();
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                check(bits == expected_le(bytes, pos, 4));
                break;
            }
            case 5: {
                double d = stream->ReadDouble();
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                check(bits == expected_le(bytes, pos, 8));
                break;
            }
            case 6: {
                std::string line = stream->ReadLine();
                check(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos &&
                      line.find('\0') == std::string::npos);
                check(static_cast<int>(line.size()) <= left);
                break;
            }
            case 7: {
                const int length = op / 11;
                std::string s = stream->ReadString(length);
                check(static_cast<int>(s.size()) == length);
                break;
            }
            case 8: stream->SkipBytes(op / 11); break;
            case 9: {
                // Seeks inside, at and beyond the end, and before the start.
                const int target = (op / 11) * size_bytes / 11 + (op & 1 ? 3 : -1);
                stream->Seek(target);
                break;
            }
            case 10: {
                std::vector<uint8_t> buffer(op / 11 + 1, 0xAA);
                check(stream->ReadBytes(buffer.data(), static_cast<int>(buffer.size())) ==
                      static_cast<int>(buffer.size()));
                for (size_t k = 0; k < buffer.size(); ++k)
                    check(buffer[k] == expected_le(bytes, pos + static_cast<int>(k), 1));
                break;
            }
            }
        } catch (const TStreamException&) {
            // Reading at the end of data raises; nothing else may.
            check(left == 0 || op % 11 == 9);
        }
    }
    return 0;
}
