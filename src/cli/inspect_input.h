#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "lib/map_file.h"
#include "support/mapped_file.h"
#include "support/status.h"

// A map's bytes as the inspector reads them: a file's, or standard input's
// for the MAP '-'.
struct map_input {
  map_input() = default;
  map_input(const map_input&) = delete;
  map_input& operator=(const map_input&) = delete;
  ~map_input();

  mapped_file_ptr file;
  std::uint8_t* piped = nullptr;  // from mem_alloc_zeroed
  std::size_t piped_length = 0;
  std::span<const std::uint8_t> bytes() const {
    return file ? mapped_file_bytes(file.get()) : std::span<const std::uint8_t>(piped, piped_length);
  }
};

// The inspector copies nothing but the tileset: the chunks the sink is shown
// lie in `input`, which stays open with them. Standard input can be read
// once: a second '-' is refused, not read empty.
status open_map(const std::string& path, map_input& input);
// Damage is reported, not refused.
status read_opened(const std::string& path, const map_input& input, map_file& map, report_sink& report);
status read_map(const std::string& path, map_input& input, map_file& map, report_sink& report);
