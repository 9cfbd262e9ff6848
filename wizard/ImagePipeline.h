// The firmware image pipeline: takes the compressed image out of the
// program's resources (type "FIRMWARE", name "MOT"), writes it to a
// temporary file, expands that through the LZ service into a second
// temporary file, reads the result into one malloc block and deletes both
// files. The update page hands the block to FWUSendFirmware.
//
// Temporary files are named res####.tmp in the user's temporary directory,
// drawn from the C runtime's rand(), which the program never seeds, so every
// run draws the same names. A file is only ever created where none exists
// (CREATE_NEW): the pipeline never truncates or writes through a file that
// something else put there. Every file a call creates is gone again when the
// call fails, and both temporary files are gone when the pipeline returns.
//
// Failures are reported by the return value. The cause (the failing call,
// the path and GetLastError) goes to the debugger through OutputDebugStringW
// and is kept for the calling thread in LastImagePipelineError().
//
// Threads: the random sequence and the last error belong to the calling
// thread; the wizard runs the pipeline on its user-interface thread only.
#ifndef FLASHWIZARD_IMAGEPIPELINE_H
#define FLASHWIZARD_IMAGEPIPELINE_H

#include <windows.h>

#include <string>

// The text of the calling thread's latest failure in this pipeline, e.g.
// "CreateFileW(C:\...\res0029.tmp) failed: GetLastError 80". Empty when no
// call on this thread has failed yet; a successful call does not clear it.
// Any thread (each sees its own).
const std::wstring& LastImagePipelineError();

// Full path of a temporary file name (res####.tmp in GetTempPathW's
// directory) that no file carries at the moment of the call; the file is
// not created. Draws at most kMaxTempNameDraws names (TempFileName.h).
// Returns the empty string when GetTempPathW fails, when the directory with
// the name would not fit in MAX_PATH, when PathAppendW fails, or when every
// draw is taken. Any thread; the names follow that thread's rand() sequence.
std::wstring MakeTempFileName();

// Creates the file at path, which must not exist yet, and writes size bytes
// from data into it in one call. Returns true when the file was created and
// every byte written and the file closed. Returns false when the file
// already exists (left untouched), cannot be created, or the write or the
// close fails; a file that this call created is deleted again. Any thread.
bool WriteBufferToFile(const std::wstring& path, const void* data, DWORD size);

// Expands the file at source (an SZDD file, or any other file, which is
// copied unchanged) into a new file at destination through the LZ service
// (LZInit, LZCopy, LZClose). destination must not exist yet. Both paths may
// hold any characters and be up to MAX_PATH long.
// Returns true when at least one byte was written; *written (if not null)
// then holds the count. Returns false when the source cannot be opened or
// LZInit refuses it, the destination exists already (left untouched) or
// cannot be created, or LZCopy reports an error or no bytes; a destination
// that this call created is deleted again. Any thread.
bool ExpandFile(const std::wstring& destination, const std::wstring& source,
                DWORD* written = nullptr);

// Reads the whole file at path into one malloc block of exactly its length.
// Returns the block (the caller frees it with free()) and stores the length
// in *length. Returns nullptr, with *length untouched, when the file cannot
// be opened, is empty, is 2 GiB or longer, the allocation fails, or the read
// fails or comes short. Any thread.
BYTE* ReadFileToBuffer(const std::wstring& path, DWORD* length);

// Expands the stored image data[0, size) into a new file at expandedPath
// through a temporary compressed copy, which is deleted whatever happens.
// Returns true when the expansion produced exactly the length that the SZDD
// header declares (for data without the SZDD signature: exactly size bytes,
// copied unchanged), with that length in *expandedLength (if not null).
// Returns false, with no file left at expandedPath, when the header is
// damaged or names an unknown method, when no temporary name can be had,
// the copy cannot be written, the expansion fails, or the expanded length
// differs from the declared one (a truncated or corrupt image). Any thread.
bool ExpandStoredImage(const BYTE* data, DWORD size, const std::wstring& expandedPath,
                       DWORD* expandedLength = nullptr);

// ExpandStoredImage of the resource "MOT" of type "FIRMWARE" in module
// (nullptr: the program's own file). Returns what ExpandStoredImage returns;
// returns false without creating any file when the resource cannot be found
// or loaded. Any thread.
bool ExtractFirmwareResource(HMODULE module, const std::wstring& expandedPath,
                             DWORD* expandedLength = nullptr);

// The whole pipeline for module's resource "MOT" (nullptr: the program's
// own file). Returns true with a malloc block of the expanded image in
// *image (the caller frees it with free()) and its length in *length.
// Returns false with *image set to nullptr and *length untouched when any
// step fails, including a file whose length changed between the expansion
// and the read. No temporary file is left behind on either path (a failure
// to delete one is logged, and the run still counts as a success).
// Any thread; the wizard's update page calls it on the user-interface thread.
bool LoadFirmwareImage(HMODULE module, BYTE** image, int* length);

#endif  // FLASHWIZARD_IMAGEPIPELINE_H
