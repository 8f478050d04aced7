#pragma once

#include <cstdint>
#include <string>

// How the tileset and the map data are described, both by the writer as it
// writes them and by the inspector, so the two never disagree.

// P: the tileset bitmap's declared length rounded up to a multiple of 4, the
// offset at which the metadata block goes. `bitmap` holds at least a whole
// bitmap file header.
std::int64_t tileset_padded_length(const std::uint8_t* bitmap);

// "bmp tileset: P bytes WxH Bbpp compression:'name'".
std::string tileset_summary(const std::uint8_t* bitmap, std::int64_t padded_length);

// The compression's name as the summary shows it.
const char* tileset_compression_name(const std::uint8_t* bitmap);

// "map: N bytes T tiles", whole 4-byte tiles only.
std::string map_summary(std::int32_t length);
