// libFuzzer target for the SZDD codec.
//
// Treats the input as a container and expands it with and without partial
// output, checking that the result never exceeds the declared length, then
// compresses the input and checks that it expands back unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "SzddCodec.h"

using image::szdd::SzddError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    image::szdd::SzddHeader header;
    const bool hasHeader = image::szdd::SzddParseHeader(data, size, header) == SzddError::None;

    std::vector<std::uint8_t> strict;
    const SzddError strictError = image::szdd::SzddExpand(data, size, strict);
    if (strictError == SzddError::None ? !hasHeader || strict.size() != header.declaredLength
                                       : !strict.empty()) {
        std::abort();
    }

    image::szdd::SzddExpandOptions keep;
    keep.keepPartialOutput = true;
    std::vector<std::uint8_t> partial;
    const SzddError partialError = image::szdd::SzddExpand(data, size, partial, keep);
    if (partialError != strictError || (hasHeader && partial.size() > header.declaredLength) ||
        (strictError == SzddError::None && partial != strict) ||
        (partialError == SzddError::LengthExceeded && partial.size() != header.declaredLength)) {
        std::abort();
    }

    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> unpacked;
    if (image::szdd::SzddCompress(data, size, packed) != SzddError::None ||
        image::szdd::SzddExpand(packed.data(), packed.size(), unpacked) != SzddError::None ||
        unpacked != std::vector<std::uint8_t>(data, data + size)) {
        std::abort();
    }
    return 0;
}
