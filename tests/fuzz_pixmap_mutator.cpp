// The pixmap fuzz target's mutator: PNG chunk CRCs are repaired after each mutation.
#include "tests/fuzz_crc_mutators.h"
#include "tests/png_encode.h"

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
    return MutateAndRepairChecksums(data, size, max_size, seed, FixAllPngChunkCrcs);
}
