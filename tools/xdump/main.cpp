// xdump [--hierarchy] FILE
// Prints the data objects of an X file (text, binary or compressed), one per line, indented
// by depth: template name, object name or "-", "ref" for a reference, and the size of the
// packed data in bytes. The built-in templates are registered first. Exit status 0 when the
// file parses, 1 with the error code's name otherwise.
// With --hierarchy: the frames, mesh containers and animation that the hierarchy loader
// makes of the file, as JSON (see hierarchy_json.h); exit status 1 when the load fails.
#include <rmxftmpl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "hierarchy_json.h"
#include "x_document.h"

namespace {

using d3dx::xfile::Document;
using d3dx::xfile::Node;
using d3dx::xfile::TemplateTable;

const char* codeName(HRESULT hr) {
  switch (hr) {
    case D3DXFERR_BADFILETYPE:
      return "D3DXFERR_BADFILETYPE";
    case D3DXFERR_BADFILEVERSION:
      return "D3DXFERR_BADFILEVERSION";
    case D3DXFERR_BADFILEFLOATSIZE:
      return "D3DXFERR_BADFILEFLOATSIZE";
    case D3DXFERR_PARSEERROR:
      return "D3DXFERR_PARSEERROR";
    case D3DXFERR_BADDATAREFERENCE:
      return "D3DXFERR_BADDATAREFERENCE";
    case D3DXFERR_FILENOTFOUND:
      return "D3DXFERR_FILENOTFOUND";
    case E_OUTOFMEMORY:
      return "E_OUTOFMEMORY";
    case S_OK:
      return "S_OK";
    case E_FAIL:
      return "E_FAIL";
    case E_INVALIDARG:
      return "E_INVALIDARG";
    case E_NOTIMPL:
      return "E_NOTIMPL";
    case D3DERR_INVALIDCALL:
      return "D3DERR_INVALIDCALL";
    default:
      return "an unknown error";
  }
}

void print(const Document& doc, uint32_t index, bool reference, int depth) {
  const Node& n = doc.nodes[index];
  std::printf("%*s%s %s %s%u\n", depth * 2, "", n.type->name.c_str(), n.name.empty() ? "-" : n.name.c_str(),
              reference ? "ref " : "", n.dataSize);
  if (reference) return;  // the target is printed where it is declared
  for (const Node::Child& c : n.children) print(doc, c.node, c.reference, depth + 1);
}

}  // namespace

int main(int argc, char** argv) {
  const bool hierarchy = argc == 3 && std::strcmp(argv[1], "--hierarchy") == 0;
  if (argc != 2 && !hierarchy) {
    std::fprintf(stderr, "usage: xdump [--hierarchy] FILE\n");
    return 2;
  }
  const char* path = argv[argc - 1];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "xdump: %s: %s\n", path, codeName(D3DXFERR_FILENOTFOUND));
    return 1;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (hierarchy) return xdump::printHierarchy(bytes, codeName);

  auto registered = std::make_shared<TemplateTable>();
  const std::pair<const void*, size_t> blocks[] = {{D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES},
                                                   {XSKINEXP_TEMPLATES, std::strlen(XSKINEXP_TEMPLATES)},
                                                   {XEXTENSIONS_TEMPLATES, std::strlen(XEXTENSIONS_TEMPLATES)}};
  for (const auto& [data, size] : blocks) {
    Document block;
    if (FAILED(d3dx::xfile::parseXFile(data, size, registered, block))) {
      std::fprintf(stderr, "xdump: the built-in templates do not parse\n");
      return 1;
    }
    registered->addAll(block.own);
  }

  Document doc;
  size_t offset = 0;
  const HRESULT hr = d3dx::xfile::parseXFile(bytes.data(), bytes.size(), registered, doc, &offset);
  if (FAILED(hr)) {
    std::fprintf(stderr, "xdump: %s: %s (at byte %zu)\n", path, codeName(hr), offset);
    return 1;
  }
  for (uint32_t top : doc.topLevel) print(doc, top, false, 0);
  return 0;
}
