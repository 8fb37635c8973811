#include "runtime/ini_rules.h"

#include <algorithm>

#include "runtime/file_encoding.h"
#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::size_t kMaxValueBytes = 254;

// The rules below work on the characters of either kind of file: bytes of an
// 8-bit file (C = char) or the 16-bit units of a UTF-16 file (C = char16_t).
// They look at ASCII characters only, so every other one, a surrogate half
// included, passes through untouched.
template <class C>
using View = std::basic_string_view<C>;
template <class C>
using Text = std::basic_string<C>;

// CRLF, as a new file has it.
template <class C>
constexpr C kNewFileEnding[] = {C('\r'), C('\n'), C('\0')};

template <class C>
bool is_space(C c) { return c == C(' ') || c == C('\t'); }
template <class C>
bool is_line_break(C c) { return c == C('\r') || c == C('\n'); }

template <class C>
View<C> trim(View<C> s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

template <class C>
C ascii_lower(C c) { return c >= C('A') && c <= C('Z') ? static_cast<C>(c + 0x20) : c; }

template <class C>
bool same_name(View<C> a, View<C> b) {
  return std::ranges::equal(a, b, [](C x, C y) { return ascii_lower(x) == ascii_lower(y); });
}

// One line of the content: its text is [begin, end), its ending [end, next).
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

template <class C>
Line line_at(View<C> content, std::size_t begin) {
  std::size_t end = begin;
  while (end < content.size() && !is_line_break(content[end])) ++end;
  std::size_t next = end;
  if (next < content.size()) {
    next += (content[next] == C('\r') && next + 1 < content.size() && content[next + 1] == C('\n'))
                ? 2
                : 1;
  }
  return {begin, end, next};
}

enum class LineKind { Blank, Header, Entry, BareKey };

// What one line says: a header and its name, a key with or without '=' (and
// the raw text after it), or nothing.
template <class C>
struct ParsedLine {
  LineKind kind = LineKind::Blank;
  View<C> name;  // section name or key, trimmed
  View<C> raw_value;
};

template <class C>
ParsedLine<C> parse_line(View<C> text) {
  const View<C> body = trim(text);
  if (body.empty()) return {};
  if (body.front() == C('[')) {
    const std::size_t close = body.find(C(']'));
    if (close != View<C>::npos) return {LineKind::Header, trim(body.substr(1, close - 1)), {}};
  }
  const std::size_t eq = body.find(C('='));
  if (eq == View<C>::npos) return {LineKind::BareKey, body, {}};
  return {LineKind::Entry, trim(body.substr(0, eq)), body.substr(eq + 1)};
}

// Whether the text stands between one pair of matching quotes.
template <class C>
bool quoted(View<C> v) {
  return v.size() >= 2 && (v.front() == C('"') || v.front() == C('\'')) && v.back() == v.front();
}

// The value as a read gives it: up to a NUL, trimmed, one pair of matching
// quotes removed.
template <class C>
View<C> decode_value(View<C> raw) {
  const View<C> v = trim(until_nul(raw));
  return quoted(v) ? v.substr(1, v.size() - 2) : v;
}

// The text to write after '=' so that decode_value gives `value` back.
template <class C>
Text<C> encode_value(View<C> value) {
  const bool needs_quotes = !value.empty() && (is_space(value.front()) || is_space(value.back()) || quoted(value));
  if (!needs_quotes) return Text<C>(value);
  return C('"') + Text<C>(value) + C('"');
}

// Where the key is, or where it would go.
template <class C>
struct Search {
  bool section_found = false;
  Line last_filled_line;  // last non-blank line of the section (its header at least)
  bool key_found = false;
  Line key_line;
  ParsedLine<C> key;
};

template <class C>
Search<C> search(View<C> content, View<C> section, View<C> key) {
  Search<C> s;
  std::size_t pos = 0;
  bool in_section = false;
  while (pos < content.size()) {
    const Line line = line_at(content, pos);
    pos = line.next;
    const ParsedLine<C> parsed = parse_line(content.substr(line.begin, line.end - line.begin));
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
template <class C>
View<C> file_ending(View<C> content) {
  const Line first = line_at(content, 0);
  return first.next > first.end ? content.substr(first.end, first.next - first.end)
                                : View<C>(kNewFileEnding<C>);
}

// The value of the key in the text (after any byte order mark), or nullopt.
template <class C>
std::optional<Text<C>> lookup(View<C> content, View<C> section, View<C> key) {
  if (key.empty()) return std::nullopt;
  const Search<C> s = search(content, section, key);
  if (!s.key_found || s.key.kind != LineKind::Entry) return std::nullopt;
  return Text<C>(decode_value(s.key.raw_value));
}

// The text with the key set; names and value already cut at their NUL and
// accepted by ini_can_write.
template <class C>
Text<C> update(View<C> content, View<C> section, View<C> key, View<C> value) {
  const Search<C> s = search(content, section, key);

  if (s.key_found) {
    if (s.key.kind == LineKind::Entry && decode_value(s.key.raw_value) == value) {
      return Text<C>(content);
    }
    Text<C> out(content.substr(0, s.key_line.begin));
    out.append(s.key.name).append(1, C('=')).append(encode_value(value));
    out.append(content.substr(s.key_line.end));
    return out;
  }

  const Text<C> ending(file_ending(content));
  const Text<C> key_line = Text<C>(key) + C('=') + encode_value(value);
  if (s.section_found) {
    const Line& after = s.last_filled_line;
    Text<C> out(content.substr(0, after.next));
    if (after.next == after.end) out.append(ending);  // the section ends the file unterminated
    // A lone CR before an LF would join the two into one CRLF ending and
    // swallow the blank line that follows.
    const bool lf_follows = after.next < content.size() && content[after.next] == C('\n');
    const View<C> crlf(kNewFileEnding<C>);
    out.append(key_line).append(ending == crlf.substr(0, 1) && lf_follows ? crlf : View<C>(ending));
    out.append(content.substr(after.next));
    return out;
  }

  Text<C> out(content);
  if (!content.empty() && !is_line_break(content.back())) out.append(ending);
  out.append(1, C('[')).append(section).append(1, C(']')).append(ending);
  out.append(key_line).append(ending);
  return out;
}

// A file's content as the rules read it, the encoding decided once: its
// byte order mark, its text in the characters of that encoding, and the odd
// last byte of a UTF-16 file, which belongs to no character and is kept.
// Names and values reach a UTF-16 text as UTF-8 and come back as UTF-8.
class IniText {
 public:
  explicit IniText(std::string_view content) : mark_(encoding_of(content)) {
    mark_bytes_ = content.substr(0, mark_.size);
    const std::string_view text = content.substr(mark_.size);
    if (mark_.encoding == FileEncoding::Bytes) {
      bytes_ = text;
    } else {
      units_ = units_from_bytes(text, mark_.encoding);
      odd_byte_ = text.substr(units_.size() * 2);
    }
  }

  // Sets the key; names and value accepted by ini_can_write.
  void update(std::string_view section, std::string_view key, std::string_view value) {
    section = until_nul(section);
    key = until_nul(key);
    value = until_nul(value);
    if (mark_.encoding == FileEncoding::Bytes) {
      bytes_ = zq::update<char>(bytes_, section, key, value);
    } else {
      units_ = zq::update<char16_t>(units_, utf16_from_text(section), utf16_from_text(key),
                                    utf16_from_text(value));
    }
  }

  std::string content() const {
    if (mark_.encoding == FileEncoding::Bytes) return mark_bytes_ + bytes_;
    return mark_bytes_ + bytes_from_units(units_, mark_.encoding) + odd_byte_;
  }

 private:
  EncodingMark mark_;
  std::string mark_bytes_;
  std::string bytes_;
  std::u16string units_;
  std::string odd_byte_;
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
  section = until_nul(section);
  key = until_nul(key);
  const EncodingMark mark = encoding_of(content);
  const std::string_view text = content.substr(mark.size);
  if (mark.encoding == FileEncoding::Bytes) return lookup<char>(text, section, key);
  const std::optional<std::u16string> found =
      lookup<char16_t>(units_from_bytes(text, mark.encoding), utf16_from_text(section),
                       utf16_from_text(key));
  if (!found) return std::nullopt;
  return text_from_utf16(*found);
}

std::string ini_update(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value) {
  if (!ini_can_write(section, key, value)) return std::string(content);
  IniText text(content);
  text.update(section, key, value);
  return text.content();
}

std::string ini_value(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback) {
  const std::optional<std::string> found = ini_lookup(content, section, key);
  const std::string_view result = found ? std::string_view(*found) : until_nul(fallback);
  return std::string(result.substr(0, kMaxValueBytes));
}

std::string ini_update_all(std::string_view content, std::string_view section,
                           const std::vector<ConfigValue>& values, std::size_t& refused) {
  IniText text(content);
  for (const ConfigValue& v : values) {
    if (ini_can_write(section, v.key, v.value)) {
      text.update(section, v.key, v.value);
    } else {
      ++refused;
    }
  }
  return text.content();
}

}  // namespace zq
