#pragma once
// Reading a whole file, and replacing a file only once its new content is complete.

#include <cstddef>
#include <cstdint>

#include "ByteBuffer.h"

namespace pngsaver {

// Reads the regular file at path into *data. Returns false when it cannot be opened or read;
// throws std::bad_alloc when it does not fit in memory.
bool readWholeFile(const char* path, ByteBuffer* data);

// Writes data to a new temporary file in path's folder and renames it to path, replacing any file
// there. On failure the temporary file is removed and path is as it was. The temporary name
// matches neither picture pattern (kcPic*.bmp, kcPic*.png).
bool replaceFile(const char* path, const uint8_t* data, size_t size);

// True when both paths exist and name the same file.
bool isSameFile(const char* a, const char* b);

}  // namespace pngsaver
