#include "cli/inspect_input.h"

#include "cli/folder_maps.h"
#include "mapgraft.h"
#include "support/format_line.h"
#include "support/input_file.h"
#include "support/memory.h"
#include "support/shell_quote.h"
#include "support/standard_streams.h"

namespace {

bool standard_input_taken = false;

status read_standard_input(map_input& input) {
  if (standard_input_taken) return status::failure(error_code::io, "standard input was read for an earlier '-'");
  standard_input_taken = true;
  standard_input_binary();
  if (status s = read_to_end(stdin, input.piped, input.piped_length); !s.is_ok()) return s;
  if (input.piped_length == 0) return status::failure(error_code::empty_file, empty_file_text);
  return status::ok();
}

}  // namespace

map_input::~map_input() { mem_release(piped); }

status open_map(const std::string& path, map_input& input) {
  status why = status::ok();
  if (path == "-") {
    why = read_standard_input(input);
    if (why.is_ok()) return why;
  } else {
    input.file.reset(mapped_file_open(path.c_str(), why));
    if (input.file) return status::ok();
  }
  return status::failure(error_code::argument, format_line("cannot open %s: %s%s", quoted_name(path).c_str(), why.why().c_str(),
                                                           path != "-" && is_folder(path) ? " (-r lists the maps in a folder)" : ""));
}

status read_opened(const std::string& path, const map_input& input, map_file& map, report_sink& report) {
  map_read_options options;
  options.flags = MG_READ_FORCE;
  options.report = &report;
  options.chunks_in_input = true;
  if (!map.read(input.bytes(), options).is_ok())
    return status::failure(error_code::argument, format_line("%s is not a tarvex map file", quoted_name(path).c_str()));
  return status::ok();
}

status read_map(const std::string& path, map_input& input, map_file& map, report_sink& report) {
  if (status s = open_map(path, input); !s.is_ok()) return s;
  return read_opened(path, input, map, report);
}
