// Reading a whole file into memory.
#ifndef PENFLASH_FILEBYTES_H
#define PENFLASH_FILEBYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace penflash {

// Reads the regular file at path (UTF-8) whole into bytes, refusing one
// above maxSize bytes. Anything else (a FIFO, a device, a socket) is refused
// at once, without waiting for a writer or reading from it. Returns true, or
// false with error set to one line of English (cannot be opened, is a
// folder, is not a regular file, is too large, read error, with the
// system's reason where there is one) and bytes empty. Any thread.
bool ReadFileBytes(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& bytes,
                   std::string& error);

// Returns whether the paths name one file (the same device and inode, or
// file ID on Windows, through links of either kind); false when either does
// not exist or cannot be examined. Any thread.
bool IsSameFile(const std::string& first, const std::string& second);

// Returns why path cannot take the transcript now, or an empty string when
// it can (or does not exist yet): a FIFO that no program reads would hold
// up the open for good, so it is refused, at once. On Windows, always empty.
// Any thread.
std::string FifoWithoutReader(const std::string& path);

}  // namespace penflash

#endif  // PENFLASH_FILEBYTES_H
