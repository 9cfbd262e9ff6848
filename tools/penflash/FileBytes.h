// Reading a whole file into memory.
#ifndef PENFLASH_FILEBYTES_H
#define PENFLASH_FILEBYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace penflash {

// Reads the file at path (UTF-8) into bytes, refusing one above maxSize
// bytes. Returns true, or false with error set to one line of English
// (cannot be opened, is a folder, is too large, read error) and bytes
// empty. Any thread.
bool ReadFileBytes(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& bytes,
                   std::string& error);

}  // namespace penflash

#endif  // PENFLASH_FILEBYTES_H
