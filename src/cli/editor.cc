#include "cli/editor.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/edit_command.h"
#include "cli/edit_one_map.h"
#include "cli/edit_texts.h"
#include "cli/operation_files.h"
#include "support/file_identity.h"
#include "support/format_line.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/standard_streams.h"
#include "support/status.h"

namespace {

enum exit_status { success = 0, failed = 1, usage = 2 };

int run(const command& c) {
  // A file named twice, by any names, is edited once: what each name reaches
  // is settled before any map is replaced, which gives it a new identity.
  std::vector<std::optional<file_identity>> identities;
  for (const std::string& map : c.maps) {
    file_identity identity;
    identities.push_back(file_identity_of(map.c_str(), identity) ? std::optional(identity) : std::nullopt);
  }
  int result = success;
  for (std::size_t i = 0; i < c.maps.size(); ++i) {
    const std::string& path = c.maps[i];
    std::size_t first = 0;
    while (first < i && c.maps[first] != path && !(identities[i] && identities[first] == identities[i])) ++first;
    if (first < i) {
      print_error_line(format_line(same_file_note, path.c_str(), c.maps[first].c_str()));
      continue;
    }
    if (status s = edit_map(c, path, c.operations); !s.is_ok()) {
      print_error_line(format_line(failure_line, path.c_str(), s.why().c_str()));
      result = failed;
    }
  }
  return result;
}

int start(int argc, char** argv) {
  command c;
  if (status s = edit_command_parse(std::vector<std::string>(argv + 1, argv + argc), c); !s.is_ok()) {
    print_error_line(format_line(usage_line, s.why().c_str()));
    print_error_line(try_help_line);
    return usage;
  }
  if (c.help || c.version) {
    standard_output().write(c.help ? help_text : version_text);
    return success;
  }
  operation_files files;
  if (status s = files.read(c); !s.is_ok()) {
    print_error_line(s.why());
    return failed;
  }
  return run(c);
}

}  // namespace

int mapgraft_edit_main(int argc, char** argv) {
  standard_streams_prepare();
  const int result = start(argc, argv);
  // The maps are what matter: a lost report changes no exit status, but the
  // user is told it is missing.
  output_stream& out = standard_output();
  out.flush();
  if (out.error() != 0) print_error_line(format_line(output_lost, system_error_text(out.error()).c_str()));
  return result;
}
