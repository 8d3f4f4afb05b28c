// libFuzzer custom mutators that repair checksums after each mutation, most of the time, so that the
// mutated bytes reach the PNG and Vorbis decoders instead of being refused at a chunk or page CRC.
// Included by exactly one source of a fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

// One mutation in this many keeps its damaged checksums, so the checksum paths stay fuzzed too.
constexpr unsigned kKeepDamagedChecksumEvery = 8;

template <typename Repair>
size_t MutateAndRepairChecksums(uint8_t* data, size_t size, size_t max_size, unsigned int seed,
                                Repair repair) {
    size = LLVMFuzzerMutate(data, size, max_size);
    if (seed % kKeepDamagedChecksumEvery != 0) repair(data, size);
    return size;
}
