// Every resource the program embeds, by file name, and the files that make them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "xfile_writer.h"

namespace assetgen {

struct GeneratedFile {
  std::string name;  // file name under resources/
  std::vector<uint8_t> bytes;
};

// The twelve meshes in one of the X file forms.
void generateMeshes(XFormat format, std::vector<GeneratedFile>& files);

// The standard templates as one binary template-only X block.
std::vector<uint8_t> standardTemplates();

// Builds all resources in memory, in a fixed order.
bool generateResources(std::vector<GeneratedFile>& files, std::string* error);

// Writes every resource into the folder (created when missing).
bool generateAll(const std::filesystem::path& outDir, std::string* error);

// Pictures for looking at the result: the outline mask and the scene composited through the camera.
bool writePreviews(const std::filesystem::path& dir, std::string* error);

}  // namespace assetgen
