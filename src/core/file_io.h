// Whole-file reading and crash-safe whole-file writing, shared by every file the
// project core writes (INI files, curve files, the project's binary files).
//
// WriteFileAtomically writes a temporary file in the target's folder, flushes it to
// disk and renames it over the target, so a crash or a full disk never leaves a half
// written file behind: the target holds either its old or its new content. Failures
// raise std::filesystem::filesystem_error naming the target; the temporary is removed.
//
// ReadFileBounded reads a whole regular file, refusing files larger than maxBytes so
// that a corrupt or hostile file cannot make the caller allocate without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaro {

void WriteFileAtomically(const std::filesystem::path& target, const void* data,
                         std::size_t size);
inline void WriteFileAtomically(const std::filesystem::path& target, const std::string& data) {
  WriteFileAtomically(target, data.data(), data.size());
}

enum class TReadResult { Ok, Missing, TooLarge, Failed };

// On anything but Ok, out is left empty.
TReadResult ReadFileBounded(const std::filesystem::path& file, std::size_t maxBytes,
                            std::string& out);

}  // namespace tessaro
