// The paths that registration derives from the DLL's own file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace launcher {

// The path registered as the class's server: the short form of the DLL's path when
// GetShortPathNameA gave one that fits its buffer (`shortLength` is its result), otherwise the
// long path, so a failing or truncated short form never reaches the registry.
std::string ServerPath(std::string_view longPath, const char* shortPath, uint32_t shortLength,
                       std::size_t shortCapacity);

// The file to load the type library from when the DLL itself offers none: the path with the
// extension of its file name replaced by ".tlb", or ".tlb" appended when the name has none.
std::string TypeLibraryFilePath(std::string_view modulePath);

// The folder of `path` with its separator: everything up to and including the last `\`, `/`
// or `:`; empty when there is none.
std::string HelpDirectory(std::string_view path);

}  // namespace launcher
