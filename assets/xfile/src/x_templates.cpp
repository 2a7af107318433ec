#include <algorithm>
#include <cctype>

#include "x_document.h"

namespace d3dx::xfile {
namespace {

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool Template::allows(const Template& child) const {
  switch (restriction) {
    case Restriction::Open:
      return true;
    case Restriction::Closed:
      return false;
    case Restriction::Restricted:
      break;
  }
  for (const GUID& id : allowedIds) {
    if (id == child.id) return true;
  }
  for (const std::string& n : allowedNames) {
    if (equalNoCase(n, child.name)) return true;
  }
  return false;
}

void TemplateTable::add(std::shared_ptr<const Template> t) {
  for (const auto& existing : m_templates) {
    if (existing->id == t->id) return;
  }
  m_byName.emplace(lowered(t->name), m_templates.size());
  m_templates.push_back(std::move(t));
}

void TemplateTable::addAll(const TemplateTable& other) {
  for (const auto& t : other.m_templates) add(t);
}

const Template* TemplateTable::find(std::string_view name) const {
  auto it = m_byName.find(lowered(name));
  return it == m_byName.end() ? nullptr : m_templates[it->second].get();
}

}  // namespace d3dx::xfile
