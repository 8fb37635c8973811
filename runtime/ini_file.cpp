#include "runtime/ini_file.h"

#include <new>

#include "runtime/file_calls.h"

namespace zq {

std::string read_config_value(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view fallback) {
  try {
    if (const std::optional<std::string> content = read_whole_file(file)) {
      return ini_value(*content, section, key, fallback);
    }
  } catch (const std::bad_alloc&) {
  }
  return ini_value({}, section, key, fallback);
}

WriteResult write_config_values(const std::string& file, std::string_view section,
                                const std::vector<ConfigValue>& values) {
  return write_config_values(file, section, [&](std::string_view) { return values; });
}

WriteResult write_config_values(const std::string& file, std::string_view section,
                                const ConfigWrites& make_writes) {
  int refused = 0;
  const FileResult written =
      update_file(file, [&](std::string_view content, bool exists) -> std::optional<std::string> {
        const std::vector<ConfigValue> values = make_writes(content);
        std::size_t skipped = 0;
        std::string updated = ini_update_all(content, section, values, skipped);
        if (skipped > 0) refused = file_codes.invalid;
        if (skipped == values.size()) return std::nullopt;  // nothing to write
        if (exists && updated == content) return std::nullopt;
        return updated;
      });
  if (!written.ok) return written;
  return refused == 0 ? WriteResult{} : file_failure(refused);
}

WriteResult write_config_value(const std::string& file, std::string_view section,
                               std::string_view key, std::string_view value) {
  if (!ini_can_write(section, key, value)) return file_failure(file_codes.invalid);
  try {
    return write_config_values(file, section, {{std::string(key), std::string(value)}});
  } catch (const std::bad_alloc&) {
    return file_failure(file_codes.no_memory);
  }
}

}  // namespace zq
