#pragma once

#include <cstdint>
#include <span>

#include "support/replacement_file.h"
#include "support/status.h"

// Data, not lines, on standard output.

bool standard_output_is_terminal();

// Whether `bytes` are text a terminal shows as text: valid UTF-8 with no
// control characters but TAB, LF and CR, and no DEL or C1 controls.
bool is_printable_text(std::span<const std::uint8_t> bytes);

// From now on standard output goes out byte for byte: on Windows, where the
// C library's text mode would turn each LF into CR LF, it becomes binary.
void standard_output_untranslated();

// Written untranslated: on Windows, standard output is switched to binary.
status write_binary_output(std::span<const std::uint8_t> bytes);

class standard_output_sink final : public byte_sink {
 public:
  status write(std::span<const std::uint8_t> bytes) override { return write_binary_output(bytes); }
};
