#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>

#include "level/level_image.h"
#include "support/byte_sink.h"
#include "support/status.h"

// Reads `out.size()` bytes at `offset` of the bytes a written map is compared
// with.
using block_reader = std::function<status(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Compares what the writer writes with the `length` bytes that `read` gives,
// a block at a time, without ever holding them all, and stops the writer at
// the first difference.
class comparing_sink : public byte_sink {
 public:
  comparing_sink(block_reader read, std::uint64_t length) : read_(std::move(read)), length_(length) {}
  comparing_sink(const comparing_sink&) = delete;
  comparing_sink& operator=(const comparing_sink&) = delete;
  ~comparing_sink() override;

  status write(std::span<const std::uint8_t> bytes) override;

  // Exactly the bytes read: no difference, and as many of them.
  bool same() const { return !differs_ && offset_ == length_; }
  bool differs() const { return differs_; }

 protected:
  status read(std::uint64_t offset, std::span<std::uint8_t> out) const { return read_(offset, out); }
  std::uint64_t room() const { return length_ - offset_; }  // bytes not yet compared
  status differ();

  std::uint64_t offset_ = 0;

 private:
  static constexpr std::int32_t buffer_size = 1 << 18;
  const block_reader read_;
  const std::uint64_t length_;
  std::uint8_t* buffer_ = nullptr;
  bool differs_ = false;
};

// Writes the image again, comparing its bytes block by block with the
// `length` bytes that `read` gives: `same` says whether they are exactly
// those bytes. Fails only when `read` does or the image cannot be written at
// all.
status level_compare_written(const level_image& image, const block_reader& read, std::uint64_t length, bool& same);
