#include "cli/driver.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/pending_temp.h"
#include "cli/stdout_report.h"
#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/mapped_file.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/shell_quote.h"
#include "support/standard_streams.h"

#ifndef MAPGRAFT_VERSION
#error "MAPGRAFT_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* author = "by the mapgraft authors";
constexpr const char* help_text =
    "use this tool to insert raw data from a file into a tarvex map under the\n"
    "specified chunk name. conforms to elvl version 0.4. if only a map is specified\n"
    "it will elvl'ify it. caution must be used as this program overwrites the input\n"
    "file\n";

enum exit_status { written = 0, not_written = 1, usage = 2 };

int cannot(const char* what, const char* path, const std::string& why) {
  print_error_line(format_line("mapgraft: cannot %s %s: %s", what, quoted_name(path).c_str(), why.c_str()));
  return not_written;
}

// A line on standard error that does not end the run.
void tell(const std::string& line) { print_error_line("mapgraft: " + line); }

bool is_same_file(const char* a, const char* b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

int edit(int argc, char** argv) {
  const char* target = argv[1];
  // Holds the lock on the map until the new map has replaced it.
  map_file map;
  stdout_report report;
  const auto waiting = [target] { tell("waiting for another edit of " + quoted_name(target)); };
  if (status s = map.open_for_edit(target, waiting); !s.is_ok())
    return cannot(s.code() == error_code::edit_in_progress ? "write" : "open", target, s.why());
  // Damage is carried over as it stands.
  map_read_options read;
  read.flags = MG_READ_FORCE;
  read.report = &report;
  if (!map.read_opened(read).is_ok()) return not_written;
  // The raw file stays where it is until the writer copies it into place, so
  // a raw file of any size costs no memory.
  file_source raw;
  const source_closer raw_closer{raw};
  if (argc >= 4) {
    const char* raw_path = argv[3];
    bool added = false;
    if (is_same_file(target, raw_path)) {
      // Windows cannot rename over a file that is held open, so a map that
      // is its own raw file gives its bytes as read.
      added = map.add_chunk(argv[2], map.bytes_opened());
    } else {
      status why = status::ok();
      if (!mapped_file_open_source(raw_path, raw, why)) return cannot("open", raw_path, why.why());
      added = map.add_chunk_from(argv[2], raw);
    }
    if (!added) return cannot("write", target, "the chunk would not fit a map file");
  }
  map.release_bytes();
  map_save_options how;
  how.path = target;
  how.report = &report;
  how.watch_temp = pending_temp_watcher();
  map_saved saved;
  if (status s = map.save(how, saved); !s.is_ok()) {
    if (s.code() == error_code::verify || !is_temp_folder_failure(s)) return cannot("write", target, s.why());
    tell(s.why());
    return not_written;
  }
  for (const std::string& line : saved.warnings) tell("warning: " + line);
  return written;
}

// The map is what matters: a report that could not be written changes no
// exit status, but the user is told it is missing.
int finish(int status) {
  output_stream& out = standard_output();
  out.flush();
  if (out.error() != 0)
    print_error_line(format_line("mapgraft: cannot write standard output: %s", system_error_text(out.error()).c_str()));
  return status;
}

int run(int argc, char** argv) {
  output_stream& out = standard_output();
  out.write(format_line("mapgraft v%s %s %s\n", MAPGRAFT_VERSION, __DATE__, author));
  out.flush();
  if (argc <= 1) {
    // Without an argument vector (Linux then passes an empty name) the tool
    // names itself.
    const char* name = argc == 1 && argv[0] != nullptr && argv[0][0] != '\0' ? argv[0] : "mapgraft";
    out.write(format_line("Usage: %s <target.lvl> [<magic> <raw.dat>]\n", name));
    out.write(format_line("Example: %s smallmap.lvl ATTR msg.txt\n", name));
    return usage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    out.write(help_text);
    return written;
  }
  return edit(argc, argv);
}

}  // namespace

int mapgraft_main(int argc, char** argv) {
  standard_streams_prepare();
  return finish(run(argc, argv));
}
