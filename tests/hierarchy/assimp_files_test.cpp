// Files written by an independent exporter (assimp) load with the mesh, vertex and face
// counts that assimp itself reads from them.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "hierarchy_test_support.h"

namespace hierarchytest {
namespace {

#ifdef KQ_ASSIMP
std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
  std::string out;
  char buf[512];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  return out;
}

// "Meshes", "Vertices" and "Faces" of `assimp info -r` (no post-processing: one vertex per
// face corner as the exporter writes them, faces as polygons).
std::map<std::string, long> assimpCounts(const std::string& file) {
  std::map<std::string, long> counts;
  std::istringstream lines(run(std::string(KQ_ASSIMP) + " info '" + file + "' -r"));
  for (std::string line; std::getline(lines, line);) {
    for (const char* key : {"Meshes:", "Vertices:", "Faces:"}) {
      if (line.rfind(key, 0) == 0 && !counts.count(key)) counts[key] = std::atol(line.c_str() + std::strlen(key));
    }
  }
  return counts;
}

void tally(const D3DXFRAME* frame, long& containers, long& vertices, long& triangles) {
  for (; frame; frame = frame->pFrameSibling) {
    for (const D3DXMESHCONTAINER* c = frame->pMeshContainer; c; c = c->pNextMeshContainer) {
      ++containers;
      vertices += c->MeshData.pMesh->GetNumVertices();
      triangles += c->MeshData.pMesh->GetNumFaces();
    }
    tally(frame->pFrameFirstChild, containers, vertices, triangles);
  }
}

TEST_F(LoaderTest, FilesExportedByAssimpLoadWithItsCounts) {
  const auto dir = std::filesystem::temp_directory_path() / ("hierarchy_assimp_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "shapes.obj") << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 2 2 2\n"
                                       "f 1 2 3 4\nf 1 2 5\nf 2 3 6 5\n";
  const std::string sources[] = {(dir / "shapes.obj").string(), KQ_SOURCE_DIR "/resources/TRAIN_WHEELS.X",
                                 KQ_SOURCE_DIR "/resources/TRAIN_CABS.X"};
  for (const std::string& source : sources) {
    const std::string exported = (dir / (std::filesystem::path(source).stem().string() + ".x")).string();
    run(std::string(KQ_ASSIMP) + " export '" + source + "' '" + exported + "' -fx");
    std::map<std::string, long> expected = assimpCounts(exported);
    ASSERT_EQ(expected.size(), 3u) << source;
    if (root) D3DXFrameDestroy(root, &allocator);
    root = nullptr;
    ASSERT_EQ(D3DXLoadMeshHierarchyFromXA(exported.c_str(), D3DXMESH_MANAGED, device, &allocator, nullptr, &root,
                                          controller.receive()),
              S_OK)
        << source;
    long containers = 0, vertices = 0, triangles = 0;
    tally(root, containers, vertices, triangles);
    EXPECT_EQ(containers, expected["Meshes:"]) << source;
    EXPECT_EQ(vertices, expected["Vertices:"]) << source;
    // Polygons of n corners make n - 2 triangles.
    EXPECT_EQ(triangles, expected["Vertices:"] - 2 * expected["Faces:"]) << source;
  }
  LPD3DXFRAME none = nullptr;
  EXPECT_EQ(D3DXLoadMeshHierarchyFromXA((dir / "missing.x").c_str(), D3DXMESH_MANAGED, device, &allocator, nullptr,
                                        &none, nullptr),
            D3DXFERR_FILENOTFOUND);
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace hierarchytest
