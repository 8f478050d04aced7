#pragma once

#include <cstdint>
#include <span>

#include "level/level_image.h"

// The chunk type a magic names: its first four bytes, a shorter magic
// followed by zero bytes.
void chunk_type_from_magic(const char* magic, std::uint8_t type[4]);

// Appends the whole of `data` as one new chunk of type `magic` after every
// chunk already in the image. Returns false, adding nothing, when the record
// would not fit a signed 32-bit size.
bool level_add_chunk(level_image& image, const char* magic, std::span<const std::uint8_t> data);

// The same for data that stay in a file until the writer copies them.
bool level_add_chunk_source(level_image& image, const char* magic, const file_source& source);
