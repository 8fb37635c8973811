#include "runtime/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

namespace zq {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileEnding = "\r\n";
constexpr std::size_t kMaxValueBytes = 254;
constexpr int kMaxLinkDepth = 40;


bool is_space(char c) { return c == ' ' || c == '\t'; }
bool is_line_break(char c) { return c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view until_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

// One line of the content: its text is [begin, end), its ending [end, next).
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

Line line_at(std::string_view content, std::size_t begin) {
  std::size_t end = begin;
  while (end < content.size() && !is_line_break(content[end])) ++end;
  std::size_t next = end;
  if (next < content.size()) {
    next += (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') ? 2 : 1;
  }
  return {begin, end, next};
}

enum class LineKind { Blank, Header, Entry, BareKey };

// What one line says: a header and its name, a key with or without '=' (and
// the raw text after it), or nothing.
struct ParsedLine {
  LineKind kind = LineKind::Blank;
  std::string_view name;  // section name or key, trimmed
  std::string_view raw_value;
};

ParsedLine parse_line(std::string_view text) {
  const std::string_view body = trim(text);
  if (body.empty()) return {};
  if (body.front() == '[') {
    const std::size_t close = body.find(']');
    if (close != std::string_view::npos) return {LineKind::Header, trim(body.substr(1, close - 1)), {}};
  }
  const std::size_t eq = body.find('=');
  if (eq == std::string_view::npos) return {LineKind::BareKey, body, {}};
  return {LineKind::Entry, trim(body.substr(0, eq)), body.substr(eq + 1)};
}

// The value as a read gives it: up to a NUL, trimmed, one pair of matching
// quotes removed.
std::string_view decode_value(std::string_view raw) {
  std::string_view v = trim(until_nul(raw));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

// The text to write after '=' so that decode_value gives `value` back.
std::string encode_value(std::string_view value) {
  const bool needs_quotes =
      !value.empty() && (is_space(value.front()) || is_space(value.back()) ||
                         (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                          value.back() == value.front()));
  return needs_quotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

// Where the key is, or where it would go.
struct Search {
  bool section_found = false;
  Line last_filled_line;  // last non-blank line of the section (its header at least)
  bool key_found = false;
  Line key_line;
  ParsedLine key;
};

Search search(std::string_view content, std::string_view section, std::string_view key) {
  Search s;
  // A byte-order mark belongs to no line's text.
  std::size_t pos = content.starts_with(kBom) ? kBom.size() : 0;
  bool in_section = false;
  while (pos < content.size()) {
    const Line line = line_at(content, pos);
    pos = line.next;
    const ParsedLine parsed = parse_line(content.substr(line.begin, line.end - line.begin));
    if (parsed.kind == LineKind::Header) {
      if (in_section) break;  // only the first section of that name counts
      if (same_name(parsed.name, section)) {
        in_section = s.section_found = true;
        s.last_filled_line = line;
      }
      continue;
    }
    if (!in_section || parsed.kind == LineKind::Blank) continue;
    s.last_filled_line = line;
    if (same_name(parsed.name, key)) {
      s.key_found = true;
      s.key_line = line;
      s.key = parsed;
      break;
    }
  }
  return s;
}

// The ending of the first line, which added lines copy.
std::string_view file_ending(std::string_view content) {
  const Line first = line_at(content, 0);
  return first.next > first.end ? content.substr(first.end, first.next - first.end)
                                : kNewFileEnding;
}

std::string error_text(int error) { return std::strerror(error); }

WriteResult failure(int error) { return {false, error_text(error)}; }

// Whole file from `fd`; 0 or the errno.
int read_all(int fd, std::string& out) {
  try {
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n == 0) return 0;
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      out.append(chunk, static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

// Writes all of `data` at `offset`; 0 or the errno.
int write_all(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    const ssize_t n = pwrite(fd, data.data(), data.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return 0;
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string join_path(const std::string& dir, std::string_view name) {
  return dir.ends_with('/') ? dir + std::string(name) : dir + "/" + std::string(name);
}

// Follows symbolic links to the file they name (which may not exist yet), so
// that a save updates the file and leaves the link in place.
int resolve_links(const std::string& path, std::string& target) {
  target = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) >= link.size()) return ENAMETOOLONG;  // changed meanwhile
    link.resize(static_cast<std::size_t>(n));
    target = link.starts_with('/') ? link : join_path(directory_of(target), link);
  }
  return ELOOP;
}

// A fresh temporary file next to `target`; the descriptor or -1 with errno.
int create_temporary(const std::string& target, mode_t mode, std::string& temp_path) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = directory_of(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    temp_path = join_path(dir, ".zq-save-" + std::to_string(getpid()) + "-" +
                                   std::to_string(counter++) + "-" +
                                   std::to_string(stamp % 1000000007ULL) + ".tmp");
    const int fd = open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes the data to the temporary file, flushes it and renames it over the
// target; 0 or the errno. The target is untouched on any failure.
int finish_temporary(int fd, const std::string& temp_path, const std::string& target,
                     std::string_view data, const struct stat* old) {
  int error = write_all(fd, data, 0);
  if (error == 0 && old != nullptr) {
    // Keeping the owner needs privileges we may lack; the mode must be kept.
    if (fchown(fd, old->st_uid, old->st_gid) != 0) {
      // Not allowed for an ordinary user unless it is already theirs.
    }
    if (fchmod(fd, old->st_mode & 07777) != 0) error = errno;
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp_path.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) unlink(temp_path.c_str());
  return error;
}

// Last resort when the directory refuses new files: rewrite the open file.
int rewrite_in_place(int fd, std::string_view data) {
  if (const int error = write_all(fd, data, 0); error != 0) return error;
  if (ftruncate(fd, static_cast<off_t>(data.size())) != 0) return errno;
  if (fsync(fd) != 0) return errno;
  return 0;
}

// Closes a descriptor when it goes out of scope.
struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

bool ini_can_write(std::string_view section, std::string_view key, std::string_view value) {
  section = until_nul(section);
  key = until_nul(key);
  value = until_nul(value);
  const auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != s.npos; };
  return !breaks(section) && !breaks(key) && !breaks(value) && section.find(']') == section.npos &&
         trim(section) == section && !key.empty() && trim(key) == key &&
         key.find('=') == key.npos && key.front() != '[';
}

std::optional<std::string> ini_lookup(std::string_view content, std::string_view section,
                                      std::string_view key) {
  key = until_nul(key);
  if (key.empty()) return std::nullopt;
  const Search s = search(content, until_nul(section), key);
  if (!s.key_found || s.key.kind != LineKind::Entry) return std::nullopt;
  return std::string(decode_value(s.key.raw_value));
}

std::string ini_update(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value) {
  section = until_nul(section);
  key = until_nul(key);
  value = until_nul(value);
  if (!ini_can_write(section, key, value)) return std::string(content);
  const Search s = search(content, section, key);

  if (s.key_found) {
    if (s.key.kind == LineKind::Entry && decode_value(s.key.raw_value) == value) {
      return std::string(content);
    }
    std::string out(content.substr(0, s.key_line.begin));
    out.append(s.key.name).append("=").append(encode_value(value));
    out.append(content.substr(s.key_line.end));
    return out;
  }

  std::string ending(file_ending(content));
  const std::string key_line = std::string(key) + "=" + encode_value(value);
  if (s.section_found) {
    const Line& after = s.last_filled_line;
    std::string out(content.substr(0, after.next));
    if (after.next == after.end) out.append(ending);  // the section ends the file unterminated
    // A lone CR before an LF would join the two into one CRLF ending and
    // swallow the blank line that follows.
    const bool lf_follows = after.next < content.size() && content[after.next] == '\n';
    out.append(key_line).append(ending == "\r" && lf_follows ? "\r\n" : ending);
    out.append(content.substr(after.next));
    return out;
  }

  std::string out(content);
  const std::string_view text = content.starts_with(kBom) ? content.substr(kBom.size()) : content;
  if (!text.empty() && !is_line_break(text.back())) out.append(ending);
  out.append("[").append(section).append("]").append(ending);
  out.append(key_line).append(ending);
  return out;
}

std::string read_config_value(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback) {
  std::string_view result = until_nul(fallback);
  std::string content;
  std::optional<std::string> found;
  // O_NONBLOCK so that a FIFO of that name cannot stall the read.
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) {
    FileCloser closer{fd};
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read_all(fd, content) == 0) {
      try {
        found = ini_lookup(content, section, key);
      } catch (const std::bad_alloc&) {
        found.reset();
      }
      if (found) result = *found;
    }
  }
  return std::string(result.substr(0, kMaxValueBytes));
}

WriteResult write_config_values(const std::string& file, std::string_view section,
                                const std::vector<ConfigValue>& values) {
  int refused = 0;
  try {
    std::string target;
    if (const int error = resolve_links(file, target); error != 0) return failure(error);

    // Opened for writing even though the new content goes to a temporary
    // file: a file we may not write (or read) is never replaced.
    FileCloser existing{open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (existing.fd < 0 && errno != ENOENT) return failure(errno);
    const bool exists = existing.fd >= 0;

    std::string content;
    struct stat old {};
    if (exists) {
      if (fstat(existing.fd, &old) != 0) return failure(errno);
      if (!S_ISREG(old.st_mode)) return failure(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
      if (const int error = read_all(existing.fd, content); error != 0) return failure(error);
    }

    std::string updated = content;
    bool any_written = false;
    for (const ConfigValue& v : values) {
      if (!ini_can_write(section, v.key, v.value)) {
        refused = EINVAL;
        continue;
      }
      updated = ini_update(updated, section, v.key, v.value);
      any_written = true;
    }
    const WriteResult done = refused == 0 ? WriteResult{} : failure(refused);
    if (!any_written || (exists && updated == content)) return done;

    std::string temp_path;
    const int temp = create_temporary(target, exists ? 0600 : 0666, temp_path);
    if (temp < 0) {
      const int temp_error = errno;
      if (!exists) return failure(temp_error);
      const int error = rewrite_in_place(existing.fd, updated);
      return error == 0 ? done : failure(error);
    }
    const int error = finish_temporary(temp, temp_path, target, updated, exists ? &old : nullptr);
    return error == 0 ? done : failure(error);
  } catch (const std::bad_alloc&) {
    return failure(ENOMEM);
  }
}

WriteResult write_config_value(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value) {
  if (!ini_can_write(section, key, value)) return failure(EINVAL);
  try {
    return write_config_values(file, section, {{std::string(key), std::string(value)}});
  } catch (const std::bad_alloc&) {
    return failure(ENOMEM);
  }
}

}  // namespace zq
