#include "support/json_text.h"

#include <nlohmann/json.hpp>

#include "support/utf8.h"

namespace {

constexpr std::size_t piece_size = 64 << 10;

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string escaped(std::string_view text) {
  std::string quoted = nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return quoted.substr(1, quoted.size() - 2);
}

}  // namespace

// A byte that is not a continuation byte either starts a sequence or ends an
// unfinished one as invalid, and the decoder restarts at it either way. Four
// continuation bytes in a row cannot all belong to one sequence, so the
// decoder has finished with whatever came before the last of them.
std::size_t json_piece_end(std::string_view text, std::size_t wanted) {
  for (std::size_t end = wanted; end + 3 >= wanted; --end)
    if (!is_continuation(text[end])) return end;
  return wanted;
}

void json_escaped_pieces(std::string_view text, const std::function<void(std::string_view)>& piece) {
  while (text.size() > piece_size) {
    const std::size_t end = json_piece_end(text, piece_size);
    piece(escaped(text.substr(0, end)));
    text.remove_prefix(end);
  }
  if (!text.empty()) piece(escaped(text));
}

std::string latin1_to_utf8(const std::uint8_t* bytes, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] < 0x80) {
      text += static_cast<char>(bytes[i]);
    } else {
      text += static_cast<char>(0xC0 | bytes[i] >> 6);
      text += static_cast<char>(0x80 | (bytes[i] & 0x3F));
    }
  }
  return text;
}

bool json_text_is_exact(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8_sequence_length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string base64_text(std::string_view bytes) {
  constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    out += digits[group >> 18 & 63];
    out += digits[group >> 12 & 63];
    out += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? digits[group & 63] : '=';
  }
  return out;
}
