#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Text for JSON strings. The escaping itself is nlohmann::json's, with its
// replace handler: invalid UTF-8 comes out as U+FFFD, so that any bytes give
// valid JSON.

// Calls `piece` with the inside of a JSON string (no quotes) for `text`, in
// pieces, so that a text as long as the file never has to be escaped whole.
// The pieces are cut where escaping them one by one gives what escaping the
// whole text gives.
void json_escaped_pieces(std::string_view text, const std::function<void(std::string_view)>& piece);

// Where a piece of `text` ending near `wanted` (3 < wanted < text.size())
// may end: at most 3 bytes before it, never inside a UTF-8 sequence.
std::size_t json_piece_end(std::string_view text, std::size_t wanted);

// Each byte as the code point of the same value, in UTF-8.
std::string latin1_to_utf8(const std::uint8_t* bytes, std::size_t length);

// Whether the JSON text of `text` decodes to the same bytes: false where
// invalid UTF-8 became U+FFFD.
bool json_text_is_exact(std::string_view text);

// `bytes` in base64 (RFC 4648, with padding).
std::string base64_text(std::string_view bytes);
