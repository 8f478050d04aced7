#pragma once

#include <cstdint>
#include <string>

#include "support/status.h"

// The rules for the words that name chunks on the command line. Each
// failure's reason is the usage error's.

// Digits only: a sign, a space or a suffix is a usage error rather than a
// chunk that is not there. Numbers beyond any map saturate and name no chunk.
status parse_chunk_index(const std::string& text, std::uint64_t& index);
bool is_plain_decimal(const std::string& text);

// 1 to 4 bytes, filled up with zero bytes.
status parse_chunk_type(const std::string& text, std::uint8_t type[4]);
