#include "xfile_writer.h"

#include <cmath>
#include <cstdio>

namespace assetgen {
namespace {

struct TemplateText {
    const char* name;
    const char* body;
};

// The published declarations of the standard templates, in the order the files list them.
const TemplateText kTemplates[] = {
    {"Header", "<3D82AB43-62DA-11cf-AB39-0020AF71E433>\n WORD major;\n WORD minor;\n DWORD flags;\n"},
    {"Vector", "<3D82AB5E-62DA-11cf-AB39-0020AF71E433>\n FLOAT x;\n FLOAT y;\n FLOAT z;\n"},
    {"Coords2d", "<F6F23F44-7686-11cf-8F52-0040333594A3>\n FLOAT u;\n FLOAT v;\n"},
    {"Matrix4x4", "<F6F23F45-7686-11cf-8F52-0040333594A3>\n array FLOAT matrix[16];\n"},
    {"ColorRGBA", "<35FF44E0-6C7C-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n FLOAT blue;\n FLOAT alpha;\n"},
    {"ColorRGB", "<D3E16E81-7835-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n FLOAT blue;\n"},
    {"IndexedColor", "<1630B820-7842-11cf-8F52-0040333594A3>\n DWORD index;\n ColorRGBA indexColor;\n"},
    {"Boolean", "<4885AE61-78E8-11cf-8F52-0040333594A3>\n WORD truefalse;\n"},
    {"Boolean2d", "<4885AE63-78E8-11cf-8F52-0040333594A3>\n Boolean u;\n Boolean v;\n"},
    {"MaterialWrap", "<4885AE60-78E8-11cf-8F52-0040333594A3>\n Boolean u;\n Boolean v;\n"},
    {"TextureFilename", "<A42790E1-7810-11cf-8F52-0040333594A3>\n STRING filename;\n"},
    {"Material",
     "<3D82AB4D-62DA-11cf-AB39-0020AF71E433>\n ColorRGBA faceColor;\n FLOAT power;\n ColorRGB specularColor;\n"
     " ColorRGB emissiveColor;\n [...]\n"},
    {"MeshFace",
     "<3D82AB5F-62DA-11cf-AB39-0020AF71E433>\n DWORD nFaceVertexIndices;\n"
     " array DWORD faceVertexIndices[nFaceVertexIndices];\n"},
    {"MeshFaceWraps", "<4885AE62-78E8-11cf-8F52-0040333594A3>\n DWORD nFaceWrapValues;\n Boolean2d faceWrapValues;\n"},
    {"MeshTextureCoords",
     "<F6F23F40-7686-11cf-8F52-0040333594A3>\n DWORD nTextureCoords;\n array Coords2d textureCoords[nTextureCoords];\n"},
    {"MeshMaterialList",
     "<F6F23F42-7686-11cf-8F52-0040333594A3>\n DWORD nMaterials;\n DWORD nFaceIndexes;\n"
     " array DWORD faceIndexes[nFaceIndexes];\n [Material]\n"},
    {"MeshNormals",
     "<F6F23F43-7686-11cf-8F52-0040333594A3>\n DWORD nNormals;\n array Vector normals[nNormals];\n"
     " DWORD nFaceNormals;\n array MeshFace faceNormals[nFaceNormals];\n"},
    {"MeshVertexColors",
     "<1630B821-7842-11cf-8F52-0040333594A3>\n DWORD nVertexColors;\n array IndexedColor vertexColors[nVertexColors];\n"},
    {"Mesh",
     "<3D82AB44-62DA-11cf-AB39-0020AF71E433>\n DWORD nVertices;\n array Vector vertices[nVertices];\n DWORD nFaces;\n"
     " array MeshFace faces[nFaces];\n [...]\n"},
    {"FrameTransformMatrix", "<F6F23F41-7686-11cf-8F52-0040333594A3>\n Matrix4x4 frameMatrix;\n"},
    {"Frame", "<3D82AB46-62DA-11cf-AB39-0020AF71E433>\n [...]\n"},
    {"FloatKeys", "<10DD46A9-775B-11cf-8F52-0040333594A3>\n DWORD nValues;\n array FLOAT values[nValues];\n"},
    {"TimedFloatKeys", "<F406B180-7B3B-11cf-8F52-0040333594A3>\n DWORD time;\n FloatKeys tfkeys;\n"},
    {"AnimationKey",
     "<10DD46A8-775B-11cf-8F52-0040333594A3>\n DWORD keyType;\n DWORD nKeys;\n array TimedFloatKeys keys[nKeys];\n"},
    {"AnimationOptions", "<E2BF56C0-840F-11cf-8F52-0040333594A3>\n DWORD openclosed;\n DWORD positionquality;\n"},
    {"Animation", "<3D82AB4F-62DA-11cf-AB39-0020AF71E433>\n [...]\n"},
    {"AnimationSet", "<3D82AB50-62DA-11cf-AB39-0020AF71E433>\n [Animation]\n"},
    {"XSkinMeshHeader",
     "<3CF169CE-FF7C-44ab-93C0-F78F62D172E2>\n WORD nMaxSkinWeightsPerVertex;\n WORD nMaxSkinWeightsPerFace;\n"
     " WORD nBones;\n"},
    {"VertexDuplicationIndices",
     "<B8D65549-D7C9-4995-89CF-53A9A8B031E3>\n DWORD nIndices;\n DWORD nOriginalVertices;\n"
     " array DWORD indices[nIndices];\n"},
    {"SkinWeights",
     "<6F0D123B-BAD2-4167-A0D0-80224F25FABB>\n STRING transformNodeName;\n DWORD nWeights;\n"
     " array DWORD vertexIndices[nWeights];\n array FLOAT weights[nWeights];\n Matrix4x4 matrixOffset;\n"},
};

bool inSet(const char* name, XTemplateSet set) {
    const std::string n = name;
    static const char* const kMeshOnly[] = {"IndexedColor", "Boolean", "Boolean2d", "MaterialWrap",
                                            "MeshFaceWraps", "MeshVertexColors"};
    static const char* const kAnimationOnly[] = {"FloatKeys", "TimedFloatKeys", "AnimationKey",
                                                 "AnimationOptions", "Animation", "AnimationSet",
                                                 "XSkinMeshHeader", "VertexDuplicationIndices", "SkinWeights"};
    for (const char* m : kMeshOnly) {
        if (n == m) return set == XTemplateSet::kMesh;
    }
    for (const char* a : kAnimationOnly) {
        if (n == a) return set == XTemplateSet::kAnimatedFrames;
    }
    return true;
}

}  // namespace

XWriter::XWriter(XFloatSize floatSize, XTemplateSet templates) : m_floatSize(floatSize) {
    m_text = floatSize == XFloatSize::k64 ? "xof 0302txt 0064\n" : "xof 0302txt 0032\n";
    for (const TemplateText& t : kTemplates) {
        if (!inSet(t.name, templates)) continue;
        m_text += "template ";
        m_text += t.name;
        m_text += " {\n ";
        m_text += t.body;
        m_text += "}\n\n";
    }
    m_text += "Header {\n 1;\n 0;\n 1;\n}\n";
}

std::string XWriter::num(double v) const {
    // Always with a decimal point: a number without one is an integer token to the reader.
    char buf[64];
    if (std::abs(v) < 5e-7) v = 0.0;  // no "-0.000000"
    std::snprintf(buf, sizeof buf, m_floatSize == XFloatSize::k64 ? "%.6f" : "%.6f", v);
    return buf;
}

void XWriter::line(int indent, const std::string& s) {
    m_text.append(static_cast<size_t>(indent + m_depth), ' ');
    m_text += s;
    m_text += '\n';
}

void XWriter::mesh(const Mesh& mesh, const std::string& name, const XMeshOptions& options, int indent) {
    const int i0 = indent, i1 = indent + 1, i2 = indent + 2;
    auto vec3 = [&](Vec3 v) { return num(v.x) + ";" + num(v.y) + ";" + num(v.z) + ";"; };
    auto faceList = [&](int ind) {
        line(ind, std::to_string(mesh.faces.size()) + ";");
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            std::string s = std::to_string(mesh.faces[f].size()) + ";";
            for (size_t k = 0; k < mesh.faces[f].size(); ++k) {
                s += std::to_string(mesh.faces[f][k]);
                s += k + 1 < mesh.faces[f].size() ? "," : ";";
            }
            s += f + 1 < mesh.faces.size() ? "," : ";";
            line(ind, s);
        }
    };
    line(i0, "Mesh " + name + " {");
    line(i1, std::to_string(mesh.vertices.size()) + ";");
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        line(i1, vec3(mesh.vertices[v].position) + (v + 1 < mesh.vertices.size() ? "," : ";"));
    }
    faceList(i1);

    line(i1, "MeshNormals {");
    line(i2, std::to_string(mesh.vertices.size()) + ";");
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        line(i2, vec3(mesh.vertices[v].normal) + (v + 1 < mesh.vertices.size() ? "," : ";"));
    }
    faceList(i2);
    line(i1, "}");

    line(i1, "MeshTextureCoords {");
    line(i2, std::to_string(mesh.vertices.size()) + ";");
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        line(i2, num(mesh.vertices[v].u) + ";" + num(mesh.vertices[v].v) + ";" +
                     (v + 1 < mesh.vertices.size() ? "," : ";"));
    }
    line(i1, "}");

    line(i1, "MeshMaterialList {");
    line(i2, std::to_string(mesh.materials.size()) + ";");
    line(i2, std::to_string(mesh.faceMaterials.size()) + ";");
    for (size_t f = 0; f < mesh.faceMaterials.size(); ++f) {
        line(i2, std::to_string(mesh.faceMaterials[f]) + (f + 1 < mesh.faceMaterials.size() ? "," : ";"));
    }
    for (const Material& m : mesh.materials) {
        line(i2, m.name.empty() ? "Material {" : "Material " + m.name + " {");
        line(i2 + 1, num(m.diffuse.r) + ";" + num(m.diffuse.g) + ";" + num(m.diffuse.b) + ";" + num(m.diffuse.a) + ";;");
        line(i2 + 1, num(m.power) + ";");
        line(i2 + 1, num(m.specular.x) + ";" + num(m.specular.y) + ";" + num(m.specular.z) + ";;");
        line(i2 + 1, num(m.emissive.x) + ";" + num(m.emissive.y) + ";" + num(m.emissive.z) + ";;");
        if (!m.texture.empty()) {
            line(i2 + 1, "TextureFilename {");
            line(i2 + 2, "\"" + m.texture + "\";");
            line(i2 + 1, "}");
        }
        line(i2, "}");
    }
    if (options.referenceLastMaterial && !mesh.materials.empty()) {
        line(i2, "{ " + mesh.materials.back().name + " }");
    }
    line(i1, "}");
    line(i0, "}");
}

void XWriter::beginFrame(const std::string& name, const Mat4& transform) {
    line(0, "Frame " + name + " {");
    ++m_depth;
    line(0, "FrameTransformMatrix {");
    std::string s;
    for (int i = 0; i < 16; ++i) {
        s += num(transform.m[i]);
        s += i < 15 ? "," : ";;";
    }
    line(1, s);
    line(0, "}");
}

void XWriter::endFrame() {
    --m_depth;
    line(0, "}");
}

void XWriter::animationSet(const std::vector<WheelAnimation>& animations) {
    line(0, "AnimationSet {");
    for (const WheelAnimation& a : animations) {
        line(1, "Animation {");
        line(2, "{ " + a.frameName + " }");
        line(2, "AnimationKey {");
        line(3, "0;");
        line(3, std::to_string(a.rotationKeys.size()) + ";");
        for (size_t k = 0; k < a.rotationKeys.size(); ++k) {
            const auto& [time, q] = a.rotationKeys[k];
            line(3, std::to_string(time) + ";4;" + num(q[0]) + "," + num(q[1]) + "," + num(q[2]) + "," + num(q[3]) +
                        ";;" + (k + 1 < a.rotationKeys.size() ? "," : ";"));
        }
        line(2, "}");
        line(2, "AnimationKey {");
        line(3, "1;");
        line(3, "1;");
        line(3, "0;3;" + num(a.scale.x) + "," + num(a.scale.y) + "," + num(a.scale.z) + ";;;");
        line(2, "}");
        line(2, "AnimationKey {");
        line(3, "2;");
        line(3, "1;");
        line(3, "0;3;" + num(a.position.x) + "," + num(a.position.y) + "," + num(a.position.z) + ";;;");
        line(2, "}");
        line(2, "AnimationOptions {");
        line(3, "0;");
        line(3, "0;");
        line(2, "}");
        line(1, "}");
    }
    line(0, "}");
}

}  // namespace assetgen
