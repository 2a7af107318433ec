#include <rmxftmpl.h>

extern "C" const unsigned char D3DRM_XTEMPLATES[D3DRM_XTEMPLATE_BYTES] = {
#include "standard_templates.inc"
};

extern "C" const char XSKINEXP_TEMPLATES[] =
    "xof 0303txt 0032\n"
    "template XSkinMeshHeader {\n <3CF169CE-FF7C-44ab-93C0-F78F62D172E2>\n WORD nMaxSkinWeightsPerVertex;\n"
    " WORD nMaxSkinWeightsPerFace;\n WORD nBones;\n}\n\n"
    "template VertexDuplicationIndices {\n <B8D65549-D7C9-4995-89CF-53A9A8B031E3>\n DWORD nIndices;\n"
    " DWORD nOriginalVertices;\n array DWORD indices[nIndices];\n}\n\n"
    "template FaceAdjacency {\n <A64C844A-E282-4756-8B80-250CDE04398C>\n DWORD nIndices;\n"
    " array DWORD indices[nIndices];\n}\n\n"
    "template SkinWeights {\n <6F0D123B-BAD2-4167-A0D0-80224F25FABB>\n STRING transformNodeName;\n DWORD nWeights;\n"
    " array DWORD vertexIndices[nWeights];\n array FLOAT weights[nWeights];\n Matrix4x4 matrixOffset;\n}\n\n"
    "template Patch {\n <A3EB5D44-FC22-429D-9AFB-3221CB9719A6>\n DWORD nControlIndices;\n"
    " array DWORD controlIndices[nControlIndices];\n}\n\n"
    "template PatchMesh {\n <D02C95CC-EDBA-4305-9B5D-1820D7704BBF>\n DWORD nVertices;\n"
    " array Vector vertices[nVertices];\n DWORD nPatches;\n array Patch patches[nPatches];\n [...]\n}\n\n"
    "template PatchMesh9 {\n <B9EC94E1-B9A6-4251-BA18-94893F02C0EA>\n DWORD Type;\n DWORD Degree;\n DWORD Basis;\n"
    " DWORD nVertices;\n array Vector vertices[nVertices];\n DWORD nPatches;\n array Patch patches[nPatches];\n"
    " [...]\n}\n\n"
    "template EffectFloats {\n <F1CFE2B3-0DE3-4e28-AFA1-155A750A282D>\n DWORD nFloats;\n array FLOAT "
    "Floats[nFloats];\n}\n\n"
    "template EffectString {\n <D55B097E-BDB6-4c52-B03D-6051C89D0E42>\n STRING Value;\n}\n\n"
    "template EffectDWord {\n <622C0ED0-956E-4da9-908A-2AF94F3CE716>\n DWORD Value;\n}\n\n"
    "template EffectParamFloats {\n <3014B9A0-62F5-478c-9B86-E4AC9F4E418B>\n STRING ParamName;\n DWORD nFloats;\n"
    " array FLOAT Floats[nFloats];\n}\n\n"
    "template EffectParamString {\n <1DBC4C88-94C1-46ee-9076-2C28818C9481>\n STRING ParamName;\n STRING Value;\n}\n\n"
    "template EffectParamDWord {\n <E13963BC-AE51-4c5d-B00F-CFA3A9D97CE5>\n STRING ParamName;\n DWORD Value;\n}\n\n"
    "template EffectInstance {\n <E331F7E4-0559-4cc2-8E99-1CEC1657928F>\n STRING EffectFilename;\n [...]\n}\n\n"
    "template AnimTicksPerSecond {\n <9E415A43-7BA6-4a73-8743-B73D47E88476>\n DWORD AnimTicksPerSecond;\n}\n\n"
    "template CompressedAnimationSet {\n <7F9B00B3-F125-4890-876E-1C42BF697C4D>\n DWORD CompressedBlockSize;\n"
    " FLOAT TicksPerSec;\n DWORD PlaybackType;\n DWORD BufferLength;\n array DWORD CompressedData[BufferLength];\n}\n";

extern "C" const char XEXTENSIONS_TEMPLATES[] =
    "xof 0303txt 0032\n"
    "template FVFData {\n <B6E70A0E-8EF9-4e83-94AD-ECC8B0C04897>\n DWORD dwFVF;\n DWORD nDWords;\n"
    " array DWORD data[nDWords];\n}\n\n"
    "template VertexElement {\n <F752461C-1E23-48f6-B9F8-8350850F336F>\n DWORD Type;\n DWORD Method;\n DWORD Usage;\n"
    " DWORD UsageIndex;\n}\n\n"
    "template DeclData {\n <BF22E553-292C-4781-9FEA-62BD554BDD93>\n DWORD nElements;\n"
    " array VertexElement Elements[nElements];\n DWORD nDWords;\n array DWORD data[nDWords];\n}\n\n"
    "template PMAttributeRange {\n <917E0427-C61E-4a14-9C64-AFE65F9E9844>\n DWORD iFaceOffset;\n DWORD nFacesMin;\n"
    " DWORD nFacesMax;\n DWORD iVertexOffset;\n DWORD nVerticesMin;\n DWORD nVerticesMax;\n}\n\n"
    "template PMVSplitRecord {\n <574CCC14-F0B3-4333-822D-93E8A8A08E4C>\n DWORD iFaceCLW;\n DWORD iVlrOffset;\n"
    " DWORD iCode;\n}\n\n"
    "template PMInfo {\n <B6C3E656-EC8B-4b92-9B62-681659522947>\n DWORD nAttributes;\n"
    " array PMAttributeRange attributeRanges[nAttributes];\n DWORD nMaxValence;\n DWORD nMinLogicalVertices;\n"
    " DWORD nMaxLogicalVertices;\n DWORD nVSplits;\n array PMVSplitRecord splitRecords[nVSplits];\n"
    " DWORD nAttributeMispredicts;\n array DWORD attributeMispredicts[nAttributeMispredicts];\n}\n";
