# Writes the bytes of INPUT into OUTPUT as a C++ source that defines
# penflash::kBuiltinImage and penflash::kBuiltinImageSize. A 0 closes the
# array, so that an empty file still gives valid C++; the size leaves it out.
# Usage: cmake -DINPUT=file -DOUTPUT=file.cpp -P EmbedFile.cmake
file(READ "${INPUT}" _hex HEX)
file(SIZE "${INPUT}" _size)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
get_filename_component(_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${_name} at build time; do not edit.
#include <cstddef>

namespace penflash {

extern const unsigned char kBuiltinImage[];
extern const std::size_t kBuiltinImageSize;

const unsigned char kBuiltinImage[] = {
${_bytes}
0};
const std::size_t kBuiltinImageSize = ${_size};

}  // namespace penflash
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
