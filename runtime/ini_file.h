// The INI file layer: one value read or written per call, the file opened for
// each call and never held. Reading never creates anything; writing changes
// only the line of the key it names and keeps every other byte of the file.
// The parsing and editing rules work on strings (ini_lookup, ini_update) so
// they can be tested without files; the file functions add the I/O through
// the platform's file store.
//
// Contents are a file's bytes. A file that starts with a UTF-16 byte order
// mark is read as UTF-16 text and every rule applies to its characters as to
// an 8-bit file's bytes; an edit writes it back in UTF-16 with its mark,
// every other byte as it was (an odd last byte and unpaired surrogates
// included). Names and values meet such a file as UTF-8. See file_encoding.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/file_store.h"

namespace zq {

// Outcome of a write: ok, or the system's code and reason it failed.
using WriteResult = FileResult;

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

// Value of the key in the file, or `fallback` when the file, section or key is
// absent or the file cannot be read. At most 254 bytes.
std::string read_config_value(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback);

// Sets the key in the file, creating file and section as needed. Crash-safe:
// the old file or the new one, never a torn one. A file that exists but cannot
// be read or written is left alone and the write fails; so does a refused
// name or value (the system's code for invalid data). Symbolic links are
// followed; the mode is kept.
WriteResult write_config_value(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value);

// One key and the value to give it.
struct ConfigValue {
  std::string key;
  std::string value;
};

// Applies the writes in order, as write_config_value would one by one, but
// reads and replaces the file once: all of them land or none does. Refused
// entries are skipped and reported (as invalid data) after the others are
// written.
WriteResult write_config_values(const std::string& file, std::string_view section,
                                const std::vector<ConfigValue>& values);

// The writes of an update, made from the file's content as the update reads
// it (empty when there is no file yet): what another program wrote since the
// caller last read the file can be kept without reading it a second time.
using ConfigWrites = std::function<std::vector<ConfigValue>(std::string_view content)>;
// As above, with the writes that `make_writes` gives for the current content.
WriteResult write_config_values(const std::string& file, std::string_view section,
                                const ConfigWrites& make_writes);

}  // namespace zq
