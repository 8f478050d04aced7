#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/file_io.h"
#include "support/status.h"

// Where the bytes of a rewritten file go.
class byte_sink {
 public:
  virtual ~byte_sink() = default;
  virtual status write(std::span<const std::uint8_t> bytes) = 0;
  // Appends the whole of `source`. By default its bytes are read through a
  // bounded buffer and written; a sink that can copy from file to file
  // without them passing through memory does that instead.
  virtual status copy(const file_source& source);
};

// Collects the bytes in memory.
class memory_sink final : public byte_sink {
 public:
  status write(std::span<const std::uint8_t> bytes) override {
    this->bytes.insert(this->bytes.end(), bytes.begin(), bytes.end());
    return status::ok();
  }
  std::vector<std::uint8_t> bytes;
};

// Replaces a file so that it is either rewritten whole or left as it was: the
// new contents go to a temporary file beside it, which is flushed to disk and
// then renamed over the target. A symbolic link keeps pointing at the file it
// names, and that file keeps its permissions. The temporary file is removed
// when anything fails, when the object is destroyed before commit(), and when
// an interrupting signal (SIGINT, SIGTERM, SIGHUP) ends the process meanwhile.
class replacement_file final : public byte_sink {
 public:
  replacement_file() = default;
  replacement_file(const replacement_file&) = delete;
  replacement_file& operator=(const replacement_file&) = delete;
  ~replacement_file() override;

  // Checks that `target` can be replaced and creates the temporary file.
  status begin(const char* target);
  status write(std::span<const std::uint8_t> bytes) override;
  status copy(const file_source& source) override;
  // Flushes the temporary file to disk and renames it over the target.
  status commit();

 private:
  void discard();

  std::intptr_t handle_ = -1;
  std::string target_;  // the file itself, links resolved
  std::string temp_;
};

// The system's text for an error number.
std::string system_error_text(int error);
