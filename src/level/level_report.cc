#include "level/level_report.h"

#include <cstdarg>
#include <cstdio>

void stdout_report::report(report_kind, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  // Each line is out before the next step starts, so a run that is stopped
  // shows how far it got.
  std::fflush(stdout);
}

std::size_t printable_length(const std::uint8_t* bytes, std::size_t max_length) {
  std::size_t length = 0;
  while (length < max_length && bytes[length] != 0) ++length;
  return length;
}

void printable_copy(char* out, const std::uint8_t* bytes, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) out[i] = bytes[i] < 0x20 || bytes[i] == 0x7F ? '?' : static_cast<char>(bytes[i]);
}

std::string printable_text(const std::uint8_t* bytes, std::size_t max_length) {
  std::string text(printable_length(bytes, max_length), '\0');
  printable_copy(text.data(), bytes, text.size());
  return text;
}

std::string type_text(const std::uint8_t type[4]) {
  std::string text = printable_text(type, 4);
  return std::string(4 - text.size(), ' ') + text;
}

std::string format_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, again);
  va_end(again);
  return line;
}
