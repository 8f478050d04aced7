#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/edit_options.h"
#include "support/status.h"

// The operations' FILEs, each read once before any map and kept in memory
// for all of them: no FILE stays open while a map is replaced, so a FILE may
// be one of the maps, even on Windows.
class operation_files {
 public:
  operation_files() = default;
  operation_files(const operation_files&) = delete;
  operation_files& operator=(const operation_files&) = delete;
  ~operation_files();

  // Reads every operation's FILE into its operation's data; a tileset is
  // checked as a bitmap. On failure returns the line to print.
  status read(command& c);
  // Reads a file that is not an operation's, such as --import's table, kept
  // as long as the FILEs; on failure returns the line to print.
  status read_other(const std::string& path, std::span<const std::uint8_t>& data);

 private:
  struct file_bytes {
    std::string path;
    std::uint8_t* bytes;
    std::size_t length;
  };

  status read_once(const std::string& path, std::span<const std::uint8_t>& data);

  std::vector<file_bytes> files_;
};
