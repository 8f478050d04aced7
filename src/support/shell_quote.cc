#include "support/shell_quote.h"

#include <cstdint>

#include "support/utf8.h"

namespace {

// C0 controls, DEL and the C1 controls are not printed as they are.
bool is_control(std::string_view text, std::size_t at, std::size_t length) {
  const auto c = static_cast<std::uint8_t>(text[at]);
  if (length == 1) return c < 0x20 || c == 0x7F;
  return length == 2 && c == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) <= 0x9F;
}

std::string wrapped(std::string_view name, char quote) {
  std::string out(1, quote);
  out += name;
  out += quote;
  return out;
}

void append_escape(std::string& out, std::uint8_t c) {
  switch (c) {
    case '\a': out += "\\a"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\v': out += "\\v"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
  }
  out += '\\';
  out += static_cast<char>('0' + (c >> 6));
  out += static_cast<char>('0' + ((c >> 3) & 7));
  out += static_cast<char>('0' + (c & 7));
}

}  // namespace

bool name_needs_escaping(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = utf8_sequence_length(name, i);
    if (length == 0 || is_control(name, i, length) || name[i] == '\'' || name[i] == '"') return true;
    i += length;
  }
  return false;
}

std::string shell_escaped_name(std::string_view name) {
  // A quote but nothing that double quotes would change: "it's.lvl".
  bool plain = true;
  for (std::size_t i = 0; i < name.size() && plain;) {
    const std::size_t length = utf8_sequence_length(name, i);
    plain = length != 0 && !is_control(name, i, length) && std::string_view("\"$`\\!").find(name[i]) == std::string_view::npos;
    i += length == 0 ? 1 : length;
  }
  if (plain && name.find('\'') != std::string_view::npos) return wrapped(name, '"');

  std::string out;
  bool in_quotes = false, in_escapes = false;
  for (std::size_t i = 0; i < name.size();) {
    std::size_t length = utf8_sequence_length(name, i);
    if (length == 0 || is_control(name, i, length)) {
      if (in_quotes) out += '\'', in_quotes = false;
      if (!in_escapes) out += "$'", in_escapes = true;
      for (std::size_t j = 0; j < (length == 0 ? 1 : length); ++j) append_escape(out, static_cast<std::uint8_t>(name[i + j]));
      i += length == 0 ? 1 : length;
      continue;
    }
    if (in_escapes) out += '\'', in_escapes = false;
    if (!in_quotes) out += '\'', in_quotes = true;
    out += name[i] == '\'' ? std::string_view("'\\''") : name.substr(i, length);
    i += length;
  }
  if (in_quotes || in_escapes) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

std::string shown_name(std::string_view name) { return name_needs_escaping(name) ? shell_escaped_name(name) : std::string(name); }

std::string quoted_name(std::string_view name) {
  return name_needs_escaping(name) ? shell_escaped_name(name) : wrapped(name, '\'');
}
