#include "runtime/ini_file.h"

#include <new>

#include "runtime/file_calls.h"
#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileEnding = "\r\n";
constexpr std::size_t kMaxValueBytes = 254;


bool is_space(char c) { return c == ' ' || c == '\t'; }
bool is_line_break(char c) { return c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

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

WriteResult failure(int error) { return file_failure(error); }

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
  std::optional<std::string> found;
  try {
    if (const std::optional<std::string> content = read_whole_file(file)) {
      found = ini_lookup(*content, section, key);
    }
  } catch (const std::bad_alloc&) {
    found.reset();
  }
  if (found) result = *found;
  return std::string(result.substr(0, kMaxValueBytes));
}

WriteResult write_config_values(const std::string& file, std::string_view section,
                                const std::vector<ConfigValue>& values) {
  int refused = 0;
  const FileResult written =
      update_file(file, [&](std::string_view content, bool exists) -> std::optional<std::string> {
        std::string updated(content);
        bool any_written = false;
        for (const ConfigValue& v : values) {
          if (!ini_can_write(section, v.key, v.value)) {
            refused = file_codes.invalid;
            continue;
          }
          updated = ini_update(updated, section, v.key, v.value);
          any_written = true;
        }
        if (!any_written || (exists && updated == content)) return std::nullopt;
        return updated;
      });
  if (!written.ok) return written;
  return refused == 0 ? WriteResult{} : failure(refused);
}

WriteResult write_config_value(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value) {
  if (!ini_can_write(section, key, value)) return failure(file_codes.invalid);
  try {
    return write_config_values(file, section, {{std::string(key), std::string(value)}});
  } catch (const std::bad_alloc&) {
    return failure(file_codes.no_memory);
  }
}

}  // namespace zq
