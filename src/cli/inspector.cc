#include "cli/inspector.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/mapped_file.h"
#include "level/level_image.h"
#include "level/level_reader.h"
#include "level/level_report.h"
#include "level/level_summary.h"
#include "support/console.h"
#include "support/replacement_file.h"
#include "support/standard_streams.h"
#include "support/status.h"

namespace {

constexpr const char* usage_text =
    "Usage: mapgraft-inspect <map.lvl> [<index>]\n"
    "Lists what a tarvex map holds, or with an index writes the data of that\n"
    "chunk (counted from 0, as listed) to standard output. The map is only read.\n";

enum exit_status { read_whole = 0, failed = 1, usage = 2 };

// The reader's lines about the metadata block, kept for the report, which
// puts them after the shape and the tileset.
class block_report final : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) override {
    if (kind == report_kind::overflow) damaged = true;
    if (kind == report_kind::metadata || kind == report_kind::chunk || kind == report_kind::overflow)
      lines.emplace_back(line);
  }

  std::vector<std::string> lines;
  bool damaged = false;
};

int complain(const std::string& why) {
  std::fflush(stdout);
  const std::string line = "mapgraft-inspect: " + why + "\n";
  console_write(2, line.data(), line.size());
  return failed;
}

int misused(const std::string& why) {
  const std::string lines = "mapgraft-inspect: " + why + "\n" + usage_text;
  console_write(2, lines.data(), lines.size());
  return usage;
}

// Digits only: a sign, a space or a suffix is a usage error rather than a
// chunk that is not there. Numbers too large for any map saturate, so they
// simply name no chunk.
std::optional<std::uint64_t> parse_index(const char* text) {
  constexpr std::uint64_t beyond_any_chunk = std::uint64_t{1} << 32;
  if (*text == '\0') return std::nullopt;
  std::uint64_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(*c - '0');
    if (value > beyond_any_chunk) value = beyond_any_chunk;
  }
  return value;
}

status read_map(const char* path, level_image& image, block_report& block) {
  std::string why;
  mapped_file_ptr input(mapped_file_open(path, why));
  if (!input) return status::failure(format_line("cannot open '%s': %s", path, why.c_str()));
  if (level_read(image, mapped_file_bytes(input.get()), block) == read_result::rejected)
    return status::failure(format_line("'%s' is not a tarvex map file", path));
  return status::ok();
}

status write_out(const void* bytes, std::size_t length) {
  if (length > 0 && std::fwrite(bytes, 1, length, stdout) != length) return status::failure(system_error_text(errno));
  if (std::fflush(stdout) != 0) return status::failure(system_error_text(errno));
  return status::ok();
}

int output_failed(const status& s) { return complain(format_line("cannot write standard output: %s", s.why().c_str())); }

int damaged(const char* path) { return complain(format_line("'%s': damaged metadata block", path)); }

const char* shape_name(level_shape shape) {
  switch (shape) {
    case level_shape::plain: return "plain";
    case level_shape::tileset: return "tileset";
    case level_shape::extended: return "extended";
  }
  return "unknown";
}

std::string report_text(const level_image& image, const block_report& block) {
  std::string text = format_line("shape: %s\n", shape_name(image.shape));
  text += image.own_tileset ? tileset_summary(image.tileset, tileset_padded_length(image.tileset)) : "bmp tileset: none";
  text += "\n";
  for (const std::string& line : block.lines) text += line + "\n";
  return text + map_summary(image.map_length) + "\n";
}

int list(const char* path) {
  level_image_owner level;
  block_report block;
  if (status s = read_map(path, level.image, block); !s.is_ok()) return complain(s.why());
  const std::string text = report_text(level.image, block);
  if (status s = write_out(text.data(), text.size()); !s.is_ok()) return output_failed(s);
  if (block.damaged) return damaged(path);
  return read_whole;
}

// A damaged block writes nothing, so that data on standard output always
// comes with status 0.
int extract(const char* path, const char* index_text) {
  const std::optional<std::uint64_t> index = parse_index(index_text);
  if (!index) return misused(format_line("chunk index '%s' is not a plain decimal number", index_text));
  level_image_owner level;
  block_report block;
  if (status s = read_map(path, level.image, block); !s.is_ok()) return complain(s.why());
  if (block.damaged) return damaged(path);

  const chunk_record* found = nullptr;
  std::uint64_t position = 0;
  chunk_list_for_each(level.image.chunks, [&](const chunk_record* record) {
    if (position++ == *index) found = record;
  });
  if (found == nullptr) return complain(format_line("'%s' has no chunk %s", path, index_text));

#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::uint8_t* data = chunk_record_bytes(found) + chunk_header_size;
  if (status s = write_out(data, chunk_record_length(found)); !s.is_ok()) return output_failed(s);
  return read_whole;
}

}  // namespace

int mapgraft_inspect_main(int argc, char** argv) {
  standard_streams_prepare();
  if (argc <= 1) {
    std::fputs(usage_text, stdout);
    return usage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(usage_text, stdout);
    return read_whole;
  }
  if (argc > 3) return misused("too many arguments");
  return argc == 3 ? extract(argv[1], argv[2]) : list(argv[1]);
}
