// The INI file layer: one value read or written per call, the file opened for
// each call and never held. Reading never creates anything; writing changes
// only the line of the key it names and keeps every other byte of the file.
// The rules work on strings (ini_rules.h); these functions add the I/O
// through the platform's file store.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/file_store.h"
#include "runtime/ini_rules.h"

namespace zq {

// Outcome of a write: ok, or the system's code and reason it failed.
using WriteResult = FileResult;

// Value of the key in the file, or `fallback` when the file, section or key is
// absent or the file cannot be read. At most 254 bytes.
std::string read_config_value(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback);

// Sets the key in the file, creating file and section as needed. Crash-safe:
// the old file or the new one, never a torn one. A file that exists but cannot
// be read or written is left alone and the write fails; so does a refused
// name or value (the system's code for invalid data). Symbolic links are
// followed as update_file follows them; the mode, owner and access are kept.
WriteResult write_config_value(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value);

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
