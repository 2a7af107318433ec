#include "path_resolve.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace kq::sound {
namespace {

// Music files are a few megabytes; anything near this is not one of ours.
constexpr std::uint64_t kMaxFileBytes = 256ull << 20;

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool equalsIgnoreCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return a[i] == '\0' && i == b.size();
}

std::optional<std::string> findIgnoringCase(const std::string& dir, const std::string& component) {
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), ::closedir);
  if (!d) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* e = ::readdir(d.get())) {
    if (equalsIgnoreCase(e->d_name, component) && (!best || *best > e->d_name)) best = e->d_name;
  }
  return best;
}

}  // namespace

std::optional<std::string> resolvePath(const char* name) {
  if (name == nullptr || *name == '\0') return std::nullopt;
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (exists(path)) return path;

  std::string resolved = path.front() == '/' ? "/" : "";
  size_t pos = 0;
  while (pos < path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string component = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty()) continue;
    std::string dir = resolved;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string candidate = dir + component;
    if (!exists(candidate)) {
      if (component == "." || component == "..") return std::nullopt;
      std::optional<std::string> match = findIgnoringCase(dir, component);
      if (!match) return std::nullopt;
      candidate = dir + *match;
    }
    resolved = candidate;
  }
  if (resolved.empty()) return std::nullopt;
  return resolved;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const char* name, std::string* why) {
  auto fail = [why](const char* reason) -> std::optional<std::vector<std::uint8_t>> {
    if (why) *why = reason;
    return std::nullopt;
  };
  std::optional<std::string> path = resolvePath(name);
  if (!path) return fail("no such file");
  int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
  struct stat st {};
  if (::fstat(fd, &st) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail("not a file");
  if (st.st_size <= 0) return fail("empty file");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) return fail("file too large");
  std::vector<std::uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(std::strerror(errno));
    if (n == 0) return fail("file shrank while read");
    done += static_cast<size_t>(n);
  }
  return bytes;
}

}  // namespace kq::sound
