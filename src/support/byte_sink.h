#pragma once

#include <cstdint>
#include <span>
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

// Counts the bytes and passes them on to `next` where there is one; alone it
// keeps nothing, and data copied from a file count by their length, unread.
class counting_sink final : public byte_sink {
 public:
  explicit counting_sink(byte_sink* next = nullptr) : next_(next) {}
  status write(std::span<const std::uint8_t> bytes) override {
    total += bytes.size();
    return next_ != nullptr ? next_->write(bytes) : status::ok();
  }
  status copy(const file_source& source) override {
    total += source.length;
    return next_ != nullptr ? next_->copy(source) : status::ok();
  }
  std::uint64_t total = 0;

 private:
  byte_sink* next_;
};
