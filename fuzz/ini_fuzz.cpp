// Fuzz target for the INI layer and the number reading. Input: section, key
// and value (libFuzzer's escaped-length strings), then the file content.
// Checks that lookups never crash, that an update reads back as written,
// and that it changes nothing but the key's own line (or adds lines), in an
// 8-bit file or a UTF-16 one.
#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/file_encoding.h"
#include "runtime/ini_file.h"
#include "runtime/text_convert.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

std::string_view until_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

template <class C>
struct Line {
  std::basic_string_view<C> text;
  std::basic_string_view<C> ending;
  bool operator==(const Line&) const = default;
};

// Independent line splitter: CRLF, LF or a lone CR end a line.
template <class C>
std::vector<Line<C>> split_lines(std::basic_string_view<C> s) {
  const C breaks[] = {C('\r'), C('\n'), C('\0')};
  std::vector<Line<C>> lines;
  std::size_t pos = 0;
  while (pos < s.size()) {
    std::size_t end = s.find_first_of(breaks, pos);
    if (end == s.npos) {
      lines.push_back({s.substr(pos), {}});
      break;
    }
    std::size_t next = end + ((s[end] == C('\r') && end + 1 < s.size() && s[end + 1] == C('\n')) ? 2 : 1);
    lines.push_back({s.substr(pos, end - pos), s.substr(end, next - end)});
    pos = next;
  }
  return lines;
}

// The update may replace one line (keeping its ending) or add up to two
// (header and key), terminating a final unterminated line on the way.
template <class C>
void check_lines(std::basic_string_view<C> before, std::basic_string_view<C> after) {
  const std::vector<Line<C>> old_lines = split_lines(before);
  const std::vector<Line<C>> new_lines = split_lines(after);
  auto same = [&](std::size_t i, std::size_t j) {
    const Line<C>& o = old_lines[i];
    const Line<C>& n = new_lines[j];
    return o == n || (i + 1 == old_lines.size() && o.ending.empty() && o.text == n.text);
  };
  std::size_t prefix = 0;
  while (prefix < old_lines.size() && prefix < new_lines.size() && same(prefix, prefix)) ++prefix;
  std::size_t suffix = 0;
  while (prefix + suffix < old_lines.size() && prefix + suffix < new_lines.size() &&
         same(old_lines.size() - 1 - suffix, new_lines.size() - 1 - suffix)) {
    ++suffix;
  }
  const std::size_t removed = old_lines.size() - prefix - suffix;
  const std::size_t added = new_lines.size() - prefix - suffix;
  check(removed <= 1, "more than one line replaced");
  check(added <= 2, "more than two lines added");
  if (removed == 1) {
    check(added == 1, "replaced line not one line");
    check(old_lines[prefix].ending == new_lines[prefix].ending, "replaced line lost its ending");
  }
}

// A UTF-16 file's text as 16-bit units, read independently of the program.
std::u16string utf16_units(std::string_view bytes, bool big_endian) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(big_endian ? first << 8 | second : second << 8 | first));
  }
  return units;
}

// A byte-order mark stays where it is and belongs to no line; a UTF-16 file
// stays UTF-16, its lines counted in its characters, its odd last byte kept.
void check_only_one_place_changed(std::string_view before, std::string_view after) {
  for (const std::string_view mark : {"\xFF\xFE", "\xFE\xFF"}) {
    if (!before.starts_with(mark)) continue;
    check(after.starts_with(mark), "UTF-16 byte-order mark lost");
    before.remove_prefix(2);
    after.remove_prefix(2);
    check(before.size() % 2 == after.size() % 2, "odd byte of a UTF-16 file lost or added");
    if (before.size() % 2 == 1) check(before.back() == after.back(), "odd byte of a UTF-16 file changed");
    const bool big_endian = mark == "\xFE\xFF";
    const std::u16string old_units = utf16_units(before, big_endian);
    const std::u16string new_units = utf16_units(after, big_endian);
    check_lines<char16_t>(old_units, new_units);
    return;
  }
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (before.starts_with(kBom)) {
    check(after.starts_with(kBom), "byte-order mark lost");
    before.remove_prefix(kBom.size());
    after.remove_prefix(kBom.size());
  }
  check_lines<char>(before, after);
}

// Names worth probing: every header name and key-like text in the content,
// as UTF-8 for a UTF-16 file.
void collect_names(std::string_view content, std::vector<std::string>& sections,
                   std::vector<std::string>& keys) {
  std::string converted;
  if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) {
    converted = zq::text_from_utf16(utf16_units(content.substr(2), content.starts_with("\xFE\xFF")));
    content = converted;
  }
  for (const Line<char>& line : split_lines(content)) {
    std::string_view body = trim(line.text);
    if (body.starts_with('[') && body.find(']') != body.npos) {
      if (sections.size() < 8) sections.emplace_back(trim(body.substr(1, body.find(']') - 1)));
    } else if (keys.size() < 32) {
      keys.emplace_back(trim(body.substr(0, body.find('='))));
    }
  }
}

void check_text_to_int(std::string_view text, std::int32_t n) {
  check(zq::text_to_int(zq::int_to_text(n)) == n, "int_to_text does not read back");
  const std::int32_t got = zq::text_to_int(text);
  // Reference for short digit runs, where 64 bits cannot overflow.
  std::string_view t = until_nul(text);
  while (t.starts_with(' ')) t.remove_prefix(1);
  const bool negative = t.starts_with('-');
  if (t.starts_with('-') || t.starts_with('+')) t.remove_prefix(1);
  const std::size_t digits = t.find_first_not_of("0123456789");
  t = t.substr(0, digits);
  if (t.size() > 18) return;
  std::uint64_t value = 0;
  std::from_chars(t.data(), t.data() + t.size(), value);
  std::uint32_t wrapped = static_cast<std::uint32_t>(value);
  if (negative) wrapped = 0u - wrapped;
  check(got == static_cast<std::int32_t>(wrapped), "text_to_int differs from reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(24);
  const std::string key = input.ConsumeRandomLengthString(24);
  const std::string value = input.ConsumeRandomLengthString(64);
  const std::string content = input.ConsumeRemainingBytesAsString();

  std::int32_t n = 0;
  for (char c : section) n = static_cast<std::int32_t>(static_cast<std::uint32_t>(n) * 31u + static_cast<unsigned char>(c));
  check_text_to_int(content, n);
  check_text_to_int(value, n);

  const std::optional<std::string> before = zq::ini_lookup(content, section, key);
  if (!zq::ini_can_write(section, key, value)) {
    check(zq::ini_update(content, section, key, value) == content, "refused update changed content");
    return 0;
  }

  const std::string updated = zq::ini_update(content, section, key, value);
  check(zq::ini_lookup(updated, section, key) == std::string(until_nul(value)),
        "written value does not read back");
  check(zq::ini_update(updated, section, key, value) == updated, "second update changed content");
  if (before == std::string(until_nul(value))) check(updated == content, "same value rewritten");
  check_only_one_place_changed(content, updated);

  std::vector<std::string> sections = {section, ""};
  std::vector<std::string> keys = {key};
  collect_names(content, sections, keys);
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      if (same_name(until_nul(s), until_nul(section)) && same_name(until_nul(k), until_nul(key))) {
        continue;
      }
      check(zq::ini_lookup(content, s, k) == zq::ini_lookup(updated, s, k),
            "another key's value changed");
    }
  }
  return 0;
}
