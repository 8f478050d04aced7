#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the UTF-8 the program works in and the UTF-16 of the
// Windows API. Windows names need not be valid UTF-16: a surrogate without
// its partner is encoded as the three bytes UTF-8 would give its code point
// (WTF-8), and decoded back to the same unit, so every name survives the
// round trip. Bytes that are not UTF-8 decode to U+FFFD, one for each
// maximal invalid part.
std::string utf8_from_utf16(std::u16string_view text);
std::u16string utf16_from_utf8(std::string_view text);

// The length of `text` without a multi-byte sequence that its end cuts short,
// so that the rest can wait for the bytes that complete it.
std::size_t utf8_complete_length(std::string_view text);

// The length of the valid UTF-8 sequence at `at` (1 to 4), or 0 where the
// bytes there are not one.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);
