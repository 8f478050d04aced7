#pragma once

#include <cstdint>
#include <span>

#include "level/level_image.h"

// Appends the whole of `data` as one new chunk of type `magic` after every
// chunk already in the image. The type is the magic's first four characters;
// a shorter magic is followed by zero bytes. Returns false, adding nothing,
// when the record would not fit a signed 32-bit size.
bool level_add_chunk(level_image& image, const char* magic, std::span<const std::uint8_t> data);

// The same for `length` bytes that the caller fills in: returns the new
// chunk's data, zero-filled, or null, adding nothing, when the record would
// not fit. A raw file read straight into it passes through memory once.
std::uint8_t* level_add_chunk_space(level_image& image, const char* magic, std::uint64_t length);
