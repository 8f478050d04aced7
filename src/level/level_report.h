#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The stages report what they find as finished lines (without the newline),
// each tagged with what it is about, so the editor can print them all and the
// inspector can pick and tell apart the ones it needs.
enum class report_kind {
  not_a_map,         // "not a tarvex map file"
  default_tileset,   // "inserting default tileset"
  metadata,          // "metadata: ..."
  chunk,             // "chunk N: ..."
  overflow,          // "buffer overflow detected near chunk N"
  writing,           // the writer's progress lines
};

class report_sink {
 public:
  virtual ~report_sink() = default;
  virtual void report(report_kind kind, std::string_view line) = 0;
};

// Prints every line to standard output.
class stdout_report final : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) override;
};

// Drops every line.
class null_report final : public report_sink {
 public:
  void report(report_kind, std::string_view) override {}
};

// Bytes from a map file are shown up to the first zero byte, with control
// characters as '?', so a crafted map cannot drive the terminal.
std::string printable_text(const std::uint8_t* bytes, std::size_t max_length);

// The same into `out`, which has room for printable_length() characters.
std::size_t printable_length(const std::uint8_t* bytes, std::size_t max_length);
void printable_copy(char* out, const std::uint8_t* bytes, std::size_t length);

// A chunk type as "%4.4s" shows it: at most four characters, right-aligned in
// four columns.
std::string type_text(const std::uint8_t type[4]);

// printf into a string.
std::string format_line(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
