// The audio sample fuzz target's mutator: Ogg page CRCs are repaired after each mutation.
#include "tests/fuzz_crc_mutators.h"
#include "tests/ogg_pages.h"

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
    return MutateAndRepairChecksums(data, size, max_size, seed, FixOggPageCrcs);
}
