// Editing Ogg pages in memory for tests and fuzzing: the page CRC, and a page's granule position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The Ogg page CRC: polynomial 0x04C11DB7, MSB first, initial value 0, no final inversion, computed
// over the whole page with its CRC field zeroed.
inline uint32_t OggCrc(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// Page layout: "OggS", version, flags, granule (8 bytes LE) at 6, serial, sequence, CRC (4 bytes LE)
// at 22, segment count at 26, the segment table, then the body.
constexpr size_t kOggHeaderBytes = 27;
constexpr size_t kOggGranuleOffset = 6;
constexpr size_t kOggCrcOffset = 22;

// Calls visit(offset, length) for each whole page found from the start; stops at the first place
// that is not a page start or a page cut short.
template <typename Visit> void ForEachOggPage(const uint8_t* data, size_t size, Visit visit) {
    size_t at = 0;
    while (at + kOggHeaderBytes <= size && std::memcmp(data + at, "OggS", 4) == 0) {
        const size_t segments = data[at + 26];
        if (at + kOggHeaderBytes + segments > size) return;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += data[at + kOggHeaderBytes + i];
        const size_t length = kOggHeaderBytes + segments + body;
        if (at + length > size) return;
        visit(at, length);
        at += length;
    }
}

// Recomputes the CRC of every whole page, so that changed bytes reach the decoder instead of being
// refused as a damaged page.
inline void FixOggPageCrcs(uint8_t* data, size_t size) {
    ForEachOggPage(data, size, [&](size_t at, size_t length) {
        std::memset(data + at + kOggCrcOffset, 0, 4);
        const uint32_t crc = OggCrc(data + at, length);
        for (int i = 0; i < 4; ++i) data[at + kOggCrcOffset + i] = uint8_t(crc >> (8 * i));
    });
}

// The same Ogg file with the granule position (the frame count so far) of its last page replaced,
// CRCs fixed: a file whose length claim contradicts what it holds.
inline std::string WithLastGranule(std::string file, int64_t granule) {
    auto* bytes = reinterpret_cast<uint8_t*>(file.data());
    size_t last = std::string::npos;
    ForEachOggPage(bytes, file.size(), [&](size_t at, size_t) { last = at; });
    if (last == std::string::npos) return file;
    for (int i = 0; i < 8; ++i) bytes[last + kOggGranuleOffset + i] = uint8_t(uint64_t(granule) >> (8 * i));
    FixOggPageCrcs(bytes, file.size());
    return file;
}
