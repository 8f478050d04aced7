#include "cli/chunk_arguments.h"

#include <cstring>
#include <limits>

#include "support/format_line.h"

namespace {

status refused(const char* format, const std::string& text) { return status::failure(error_code::argument, format_line(format, text.c_str())); }

}  // namespace

bool is_plain_decimal(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

status parse_chunk_index(const std::string& text, std::uint64_t& index) {
  if (!is_plain_decimal(text)) return refused("chunk index '%s' is not a plain decimal number", text);
  constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  index = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    index = index > (most - digit) / 10 ? most : index * 10 + digit;
  }
  return status::ok();
}

status parse_chunk_type(const std::string& text, std::uint8_t type[4]) {
  if (text.empty() || text.size() > 4) return refused("chunk type '%s' is not 1 to 4 bytes", text);
  std::memset(type, 0, 4);
  std::memcpy(type, text.data(), text.size());
  return status::ok();
}
