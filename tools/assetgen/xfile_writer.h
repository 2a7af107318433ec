// Writes meshes, frames and animation as X text files ("xof 0302txt"), each carrying its own
// copies of the standard template declarations.
#pragma once

#include <string>
#include <vector>

#include "mesh.h"

namespace assetgen {

enum class XFloatSize { k32, k64 };

// The template sets the files carry: the mesh files' 21 declarations, or the animated wheels' 24.
enum class XTemplateSet { kMesh, kAnimatedFrames };

struct XMeshOptions {
    // Writes the last material as a reference by name after the inline materials (the
    // inline list still holds every material).
    bool referenceLastMaterial = false;
};

class XWriter {
public:
    XWriter(XFloatSize floatSize, XTemplateSet templates);

    void mesh(const Mesh& mesh, const std::string& name, const XMeshOptions& options = {}, int indent = 0);
    void beginFrame(const std::string& name, const Mat4& transform);
    void endFrame();

    struct WheelAnimation {
        std::string frameName;
        std::vector<std::pair<uint32_t, std::array<double, 4>>> rotationKeys;  // time, (w, x, y, z) as stored
        Vec3 scale;
        Vec3 position;
    };
    void animationSet(const std::vector<WheelAnimation>& animations);

    std::string take() { return std::move(m_text); }

private:
    void line(int indent, const std::string& s);
    std::string num(double v) const;

    XFloatSize m_floatSize;
    std::string m_text;
    int m_depth = 0;
};

}  // namespace assetgen
