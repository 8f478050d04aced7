#include "lib/change_checks.h"

#include "level/tileset_file.h"
#include "support/format_line.h"

status attribute_key_check(const std::string& key) {
  if (key.empty() || key.find('=') != std::string::npos)
    return status::failure(error_code::argument, format_line("key '%s' is empty or holds '='", key.c_str()));
  return status::ok();
}

status tileset_check(std::span<const std::uint8_t> file, std::uint32_t& bitmap_length) {
  return tileset_file_check(file, bitmap_length);
}
