// The INI rules on a file's content, kept apart from the file so that they
// can be tested on strings: where a key's value is, and the content with a
// key set, its line replaced in place or added at the end of its section.
//
// Contents are a file's bytes. A file that starts with a UTF-16 byte order
// mark is read as UTF-16 text and every rule applies to its characters as to
// an 8-bit file's bytes; an edit writes it back in UTF-16 with its mark,
// every other byte as it was (an odd last byte and unpaired surrogates
// included). Names and values meet such a file as UTF-8. See file_encoding.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

// Whether the names and value can be stored so that a read gives them back:
// no line breaks; key not empty, without '=', not starting with '[', no
// blanks or tabs at its ends; section without ']' or blanks or tabs at its
// ends. All three are cut at their first NUL first, like every text.
bool ini_can_write(std::string_view section, std::string_view key, std::string_view value);

// Value of `key` in `section` of the file content, or nullopt when the
// section or key is absent or the key's line has no '='.
std::optional<std::string> ini_lookup(std::string_view content, std::string_view section,
                                      std::string_view key);

// The content with `key` in `section` set to `value`: the key's line
// replaced in place, or the key (and section) added. Unchanged content when
// the key already holds exactly that value or ini_can_write refuses. A value
// with blanks at its ends or in matching quotes is written quoted.
std::string ini_update(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value);

// Value of `key` in `section` of the file content as read_config_value gives
// it: `fallback` when the section or key is absent, at most 254 bytes.
std::string ini_value(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view fallback);

// One key and the value to give it.
struct ConfigValue {
  std::string key;
  std::string value;
};

// The content with each key of `values` set in order, as ini_update would one
// by one, the content decoded once; `refused` counts those that ini_can_write
// refuses, which are skipped.
std::string ini_update_all(std::string_view content, std::string_view section,
                           const std::vector<ConfigValue>& values, std::size_t& refused);

}  // namespace zq
