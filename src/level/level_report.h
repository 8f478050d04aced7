#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/format_line.h"

struct level_image;
struct chunk_record;

// The stages report what they find as lines (without the newline), each
// tagged with what it is about. The reader and the writer also hand the
// values behind their busiest lines to the sink, which formats them: a sink
// that prints streams a line as long as the file without ever holding it,
// and one that wants the values (the inspector) takes them as they are.
enum class report_kind {
  not_a_map,        // "not a tarvex map file"
  default_tileset,  // "inserting default tileset"
  metadata,         // "metadata: ..."
  chunk,            // "chunk N: ..."
  overflow,         // "buffer overflow detected near chunk N"
  writing,          // the writer's progress lines
};

struct metadata_found {
  std::int64_t offset;   // of the block in the file
  std::uint32_t size;    // the block's total length field
  std::int64_t maxsize;  // bytes from the block to the end of the file
};

struct chunk_found {
  std::int64_t index;
  std::int64_t offset;           // of the record in the file
  const std::uint8_t* record;    // its header and all of its data, in the input
};

// Damage that mapgraft carries over as it stands (its output stays a
// well-formed map) and that mapgraft-inspect reports.
struct damage_found {
  enum class kind {
    chunk_past_block,      // chunk `chunk_index` runs `amount` bytes past the block's total length
    bitmap_size_mismatch,  // the bitmap's file size field `amount` is not the block's end `expected`
  } what;
  std::int64_t chunk_index;
  std::int64_t amount;
  std::int64_t expected;
};

class report_sink {
 public:
  virtual ~report_sink() = default;
  virtual void report(report_kind kind, std::string_view line) = 0;
  // The reader has settled the shape and the tileset, before any line about
  // the metadata block.
  virtual void shape(const level_image&) {}
  virtual void metadata(const metadata_found& found);
  virtual void chunk(const chunk_found& found);
  virtual void damage(const damage_found&) {}
  // The writer's line for each chunk it writes.
  virtual void chunk_written(const chunk_record* record);
  // A stage is done: lines held back are due now.
  virtual void flush() {}
};

// Drops every line.
class null_report final : public report_sink {
 public:
  void report(report_kind, std::string_view) override {}
  void metadata(const metadata_found&) override {}
  void chunk(const chunk_found&) override {}
  void chunk_written(const chunk_record*) override {}
};

// A short line built in place, numbers formatted as printf's %d would. What
// would not fit its buffer is left out; the lines it builds are far shorter.
class line_text {
 public:
  line_text& operator<<(std::string_view text) {
    const std::size_t n = text.size() < sizeof buffer_ - length_ ? text.size() : sizeof buffer_ - length_;
    text.copy(buffer_ + length_, n);
    length_ += n;
    return *this;
  }
  line_text& operator<<(std::int64_t number) {
    const std::to_chars_result done = std::to_chars(buffer_ + length_, buffer_ + sizeof buffer_, number);
    if (done.ec == std::errc()) length_ = static_cast<std::size_t>(done.ptr - buffer_);
    return *this;
  }
  line_text& operator<<(char c) { return *this << std::string_view(&c, 1); }
  std::string_view view() const { return {buffer_, length_}; }

 private:
  char buffer_[192];
  std::size_t length_ = 0;
};

// A chunk type as "%4.4s" shows it: at most four characters, right-aligned in
// four columns, shown as printable_pieces shows text.
void append_type(line_text& line, const std::uint8_t type[4]);
std::string type_text(const std::uint8_t type[4]);

// The first part of the reader's line for a chunk, up to the ATTR text.
line_text chunk_line_head(const chunk_found& found);
// The writer's line for a chunk.
line_text chunk_written_line(const chunk_record* record);
line_text metadata_line(const metadata_found& found);
// The line for damage the reader carried over, as mapgraft-inspect reports
// it and mapgraft-edit refuses it.
line_text damage_line(const damage_found& found);
// Whether the reader's line for this chunk shows its data as text.
bool chunk_shows_text(const std::uint8_t* record);

// Calls `piece(std::string_view)` with the text of `bytes` as the reports
// show it, in pieces: up to the first zero byte, with C0 controls, DEL and
// the UTF-8 forms of the C1 controls (C2 80 to C2 9F) each shown as one '?',
// so that a crafted map cannot drive a terminal. Every other byte is kept,
// so UTF-8 and Latin-1 text still read right.
template <typename Piece>
void printable_pieces(const std::uint8_t* bytes, std::size_t length, Piece&& piece) {
  char buffer[4096];
  std::size_t used = 0;
  for (std::size_t i = 0; i < length && bytes[i] != 0; ++i) {
    const std::uint8_t c = bytes[i];
    if (c == 0xC2 && i + 1 < length && bytes[i + 1] >= 0x80 && bytes[i + 1] <= 0x9F) {
      buffer[used++] = '?';
      ++i;
    } else {
      buffer[used++] = c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
    if (used == sizeof buffer) {
      piece(std::string_view(buffer, used));
      used = 0;
    }
  }
  if (used > 0) piece(std::string_view(buffer, used));
}

std::string printable_text(const std::uint8_t* bytes, std::size_t max_length);
