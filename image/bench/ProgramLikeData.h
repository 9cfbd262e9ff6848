// Deterministic data that compresses like a program image: x86-style code
// with recurring prologues, calls and jumps, pointer and constant tables,
// string tables in ASCII and UTF-16, and zero-filled alignment. The codec's
// benchmark and its tests use it as a stand-in for firmware images.
#ifndef IMAGE_BENCH_PROGRAMLIKEDATA_H
#define IMAGE_BENCH_PROGRAMLIKEDATA_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace image::szdd {

// Returns exactly size bytes; the same size and seed give the same bytes on
// every platform. Any thread.
std::vector<std::uint8_t> MakeProgramLikeData(std::size_t size, std::uint64_t seed);

}  // namespace image::szdd

#endif  // IMAGE_BENCH_PROGRAMLIKEDATA_H
