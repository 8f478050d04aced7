#include "lib/change_checks.h"

#include "level/tileset_file.h"
#include "mapgraft.h"
#include "support/format_line.h"

status attribute_key_check(const std::string& key) {
  if (key.empty() || key.find('=') != std::string::npos)
    return status::failure(format_line("key '%s' is empty or holds '='", key.c_str()));
  return status::ok();
}

status tileset_check(std::span<const std::uint8_t> file, std::uint32_t& bitmap_length, int& code) {
  bool too_large = false;
  status s = tileset_file_check(file, bitmap_length, too_large);
  code = s.is_ok() ? MG_OK : too_large ? MG_ERR_TOO_LARGE : MG_ERR_BAD_TILESET;
  return s;
}
