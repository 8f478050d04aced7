#pragma once

#include <cstdint>
#include <span>

#include "level/level_image.h"
#include "level/level_report.h"

enum class read_result { accepted, rejected };

// What the image gets copies of. A reader that only describes the map (the
// inspector, which finds the chunks in the input as they are reported) needs
// the tileset alone, and the map data's length: it then holds little more
// than the input, however the chunks and the map data overlap.
enum class read_copies { all, tileset_only };

// Recognises the map's shape and fills `image` (which must be empty) with
// owned copies of its tileset (or the default tileset), its metadata chunks
// and its map data, reporting what it finds. Nothing outside `input` is read.
// On rejection the image stays empty.
read_result level_read(level_image& image, std::span<const std::uint8_t> input, report_sink& report,
                       read_copies copies = read_copies::all);

// Walks the metadata block that starts at `block`, `block_offset` bytes into
// the file, and appends a copy of each record to the image's chunk list. The
// walk is bounded by `limit`, the bytes from `block` to the end of the input
// (at least 8). Returns false when it stopped at a damaged record.
bool level_read_chunks(level_image& image, const std::uint8_t* block, std::int64_t block_offset, std::int64_t limit,
                       report_sink& report, read_copies copies = read_copies::all);
