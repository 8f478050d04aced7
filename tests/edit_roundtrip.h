#pragma once

#include <cstdint>
#include <span>
#include <string>

// Runs a whole edit in memory on untrusted bytes: read; then, steered by the
// first byte, insert a chunk with a short, empty, exact or long magic; write;
// read and write the output again. Returns an empty string when every
// promise held (an accepted input gives a well-formed extended map, which
// rewrites to the same bytes), else what broke.
std::string edit_roundtrip_fault(std::span<const std::uint8_t> data);
