// File access for the sound layer: program paths written with backslashes, matched per component
// without regard to case, and files read whole into memory so that no thread but the caller's
// ever touches the file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kq::sound {

// The existing file that `name` refers to: backslashes become slashes, and each component
// that has no exact match is looked up case-insensitively (ASCII) in its directory; of several
// such matches the first in byte order wins. Nothing when no file matches.
std::optional<std::string> resolvePath(const char* name);

// The whole contents of the file `name` names (see resolvePath). Nothing (and the reason in
// `why`) for a missing, unreadable or empty file, a directory, or one larger than the layer
// accepts.
std::optional<std::vector<std::uint8_t>> readWholeFile(const char* name, std::string* why = nullptr);

}  // namespace kq::sound
