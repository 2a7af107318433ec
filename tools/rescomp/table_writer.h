// Writes what the build compiles from a parsed script: an assembly file that embeds the
// bytes (.incbin of the resource files, .byte for bytes built here) and a C++ file with the
// table the window layer's resource functions search; plus a depfile for the build tool.
#pragma once

#include <string>
#include <vector>

#include "resource_script.h"

namespace rescomp {

// `symbolPrefix` makes the data symbols of one table distinct from another's.
std::string assemblySource(const std::vector<Resource>& resources, const std::string& symbolPrefix,
                           const std::string& scriptPath);
std::string tableSource(const std::vector<Resource>& resources, const std::string& symbolPrefix,
                        const std::string& scriptPath);
std::string depfileText(const std::vector<std::string>& targets, const std::vector<std::string>& dependencies);

// A C identifier made from any text (letters, digits and underscores kept, others '_').
std::string symbolSafe(const std::string& text);

}  // namespace rescomp
