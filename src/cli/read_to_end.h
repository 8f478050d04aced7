#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "support/status.h"

// Reads `in` to its end into a block of mem_alloc_zeroed's, which the caller
// releases with mem_release even on failure: standard input, and a file
// whose size says nothing of its contents (a FIFO, a device, a file in /proc
// that reports size 0). Like any input, less than 2 GiB.
status read_to_end(std::FILE* in, std::uint8_t*& bytes, std::size_t& length);

// Standard input in binary mode (Windows would turn CR LF into LF).
void standard_input_binary();
