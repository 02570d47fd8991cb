// One libFuzzer target; FUZZ_ENTRY names the fuzzentry function it drives.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzentry::FUZZ_ENTRY(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
