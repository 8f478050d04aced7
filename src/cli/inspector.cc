#include "cli/inspector.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "support/mapped_file.h"
#include "cli/inspect_report.h"
#include "level/level_image.h"
#include "level/level_reader.h"
#include "level/level_report.h"
#include "level/level_summary.h"
#include "support/byte_order.h"
#include "support/console.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/standard_streams.h"
#include "support/status.h"

namespace {

constexpr const char* usage_text =
    "Usage: mapgraft-inspect <map.lvl> [<index>]\n"
    "       mapgraft-inspect --json <map.lvl>...\n"
    "       mapgraft-inspect --tileset <map.lvl>\n"
    "Lists what a tarvex map holds, or with an index writes the data of that\n"
    "chunk (counted from 0, as listed) to standard output. The map is only read.\n"
    "--json lists each map as one line of JSON; --tileset writes the map's own\n"
    "bitmap to standard output as a .bmp file.\n";

enum exit_status { read_whole = 0, failed = 1, usage = 2 };

int complain(const std::string& why) {
  print_error_line(format_line("mapgraft-inspect: %s", why.c_str()));
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

// The inspector copies nothing but the tileset: the chunks the sink is shown
// lie in `input`, which stays open with them.
status read_map(const char* path, mapped_file_ptr& input, level_image& image, report_sink& report) {
  std::string why;
  input.reset(mapped_file_open(path, why));
  if (!input) return status::failure(format_line("cannot open '%s': %s", path, why.c_str()));
  if (level_read(image, mapped_file_bytes(input.get()), report, read_copies::tileset_only) == read_result::rejected)
    return status::failure(format_line("'%s' is not a tarvex map file", path));
  return status::ok();
}

// Binary data, through the C library so that Windows writes them untranslated.
status write_out(const void* bytes, std::size_t length) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (length > 0 && std::fwrite(bytes, 1, length, stdout) != length) return status::failure(system_error_text(errno));
  if (std::fflush(stdout) != 0) return status::failure(system_error_text(errno));
  return status::ok();
}

int output_failed(const std::string& why) { return complain(format_line("cannot write standard output: %s", why.c_str())); }

// Whether the report reached standard output whole.
bool report_written(std::string& why) {
  output_stream& out = standard_output();
  out.flush();
  if (out.error() == 0) return true;
  why = system_error_text(out.error());
  return false;
}

int damaged(const char* path) { return complain(format_line("'%s': damaged metadata block", path)); }

int list(const char* path) {
  level_image_owner level;
  mapped_file_ptr input;
  text_inspection report;
  if (status s = read_map(path, input, level.image, report); !s.is_ok()) return complain(s.why());
  report.finish(level.image);
  if (std::string why; !report_written(why)) return output_failed(why);
  if (report.damaged()) return damaged(path);
  return read_whole;
}

// Maps that cannot be read or are damaged say so in their line only:
// standard error is left for what stops the whole run.
int list_json(int count, char** paths) {
  bool all_whole = true;
  for (int i = 0; i < count; ++i) {
    level_image_owner level;
    mapped_file_ptr input;
    json_inspection report(paths[i]);
    if (status s = read_map(paths[i], input, level.image, report); !s.is_ok()) {
      report.failed(s.why());
      all_whole = false;
    } else {
      report.finish(level.image, input->length);
      all_whole = all_whole && !report.damaged();
    }
    if (std::string why; !report_written(why)) return output_failed(why);
  }
  return all_whole ? read_whole : failed;
}

// A damaged map writes nothing, so that data on standard output always come
// with status 0.
int extract(const char* path, const char* index_text) {
  const std::optional<std::uint64_t> index = parse_index(index_text);
  if (!index) return misused(format_line("chunk index '%s' is not a plain decimal number", index_text));
  level_image_owner level;
  mapped_file_ptr input;
  quiet_inspection report(*index);
  if (status s = read_map(path, input, level.image, report); !s.is_ok()) return complain(s.why());
  if (report.damaged()) return damaged(path);
  const std::uint8_t* record = report.wanted_record();
  if (record == nullptr) return complain(format_line("'%s' has no chunk %s", path, index_text));
  if (status s = write_out(record + chunk_header_size, read_u32le(record + 4)); !s.is_ok()) return output_failed(s.why());
  return read_whole;
}

// The bitmap as a file of its own: its size field says how long it is, and
// the field that points at an extended map's metadata block is cleared. An
// extended map's bitmap keeps its padding, so that it goes back into the map
// as it came out.
int write_tileset(const char* path) {
  level_image_owner level;
  mapped_file_ptr input;
  quiet_inspection report;
  if (status s = read_map(path, input, level.image, report); !s.is_ok()) return complain(s.why());
  if (report.damaged()) return damaged(path);
  if (!level.image.own_tileset) return complain(format_line("'%s' has no tileset of its own", path));

  std::uint8_t* bitmap = level.image.tileset;
  const std::uint32_t length = level.image.shape == level_shape::extended
                                   ? static_cast<std::uint32_t>(tileset_padded_length(bitmap))
                                   : read_u32le(bitmap + 2);
  write_u32le(bitmap + 2, length);
  write_u16le(bitmap + 6, 0);
  if (status s = write_out(bitmap, length); !s.is_ok()) return output_failed(s.why());
  return read_whole;
}

}  // namespace

int mapgraft_inspect_main(int argc, char** argv) {
  standard_streams_prepare();
  if (argc <= 1 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    // Help that cannot be shown is a failure like any other lost output.
    standard_output().write(usage_text);
    if (std::string why; !report_written(why)) {
      output_failed(why);
      return argc <= 1 ? usage : failed;
    }
    return argc <= 1 ? usage : read_whole;
  }
  const bool json = std::strcmp(argv[1], "--json") == 0;
  const bool tileset = std::strcmp(argv[1], "--tileset") == 0;
  if ((json || tileset) && argc == 2) return misused("no map given");
  if (json) return list_json(argc - 2, argv + 2);
  if (argc > 3) return misused("too many arguments");
  if (tileset) return write_tileset(argv[2]);
  return argc == 3 ? extract(argv[1], argv[2]) : list(argv[1]);
}
