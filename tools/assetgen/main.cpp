// assetgen <output folder> [--preview <folder>]
// Makes every embedded resource of the program from code. The output is deterministic:
// the same library versions give the same bytes on every run.
#include <cstdio>
#include <filesystem>
#include <string>

#include "generate.h"

int main(int argc, char** argv) {
    std::filesystem::path outDir;
    std::filesystem::path previewDir;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (outDir.empty() && !arg.starts_with("-")) {
            outDir = arg;
        } else {
            std::fprintf(stderr, "usage: assetgen <output folder> [--preview <folder>]\n");
            return 2;
        }
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "usage: assetgen <output folder> [--preview <folder>]\n");
        return 2;
    }
    std::string error;
    if (!assetgen::generateAll(outDir, &error)) {
        std::fprintf(stderr, "assetgen: %s\n", error.c_str());
        return 1;
    }
    if (!previewDir.empty() && !assetgen::writePreviews(previewDir, &error)) {
        std::fprintf(stderr, "assetgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
