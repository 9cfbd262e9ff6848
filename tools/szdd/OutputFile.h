// Writing the szdd tool's result so that its output is either complete or
// untouched.
#ifndef PENLINK_TOOLS_SZDD_OUTPUTFILE_H
#define PENLINK_TOOLS_SZDD_OUTPUTFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace szdd_tool {

// Writes bytes to path.
//
// A new path, an existing regular file and a symbolic link to one are
// replaced through a temporary file beside the file (beside the link's
// target for a link): created exclusively, given the mode of the file it
// replaces (or the default mode for a new one), filled and renamed into
// place only when complete. While the temporary file exists, SIGINT,
// SIGTERM and SIGHUP (Ctrl-C and closing the console on Windows) remove it
// before the process ends as the signal says.
//
// Anything else that exists (a device such as /dev/full, a FIFO, a link to
// either) is opened and written directly, as cp does; there is nothing to
// rename there.
//
// Returns an empty string on success. Otherwise returns one line naming the
// failing step and the system's reason (e.g. "cannot write: No space left on
// device"); no temporary file remains then, and a replaced file is
// unchanged. A directory or a dangling link at path is refused the same way.
// Main thread only: it changes the process's signal handling for the time
// of the write.
std::string WriteOutputFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace szdd_tool

#endif  // PENLINK_TOOLS_SZDD_OUTPUTFILE_H
