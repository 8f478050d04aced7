#include "cli/editor.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/binary_output.h"
#include "cli/edit_command.h"
#include "cli/edit_one_map.h"
#include "cli/edit_texts.h"
#include "cli/operation_files.h"
#include "cli/option_parser.h"
#include "support/file_identity.h"
#include "support/format_line.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/shell_quote.h"
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
  std::size_t failures = 0;
  for (std::size_t i = 0; i < c.maps.size(); ++i) {
    const std::string& path = c.maps[i];
    std::size_t first = 0;
    while (first < i && c.maps[first] != path && !(identities[i] && identities[first] == identities[i])) ++first;
    if (first < i) {
      print_error_line(format_line(same_file_note, quoted_name(path).c_str(), quoted_name(c.maps[first]).c_str()));
      continue;
    }
    if (status s = edit_map(c, path, c.operations); !s.is_ok()) {
      print_error_line(format_line(failure_line, quoted_name(path).c_str(), s.why().c_str()));
      ++failures;
    }
  }
  if (failures > 0 && c.maps.size() > 1)
    print_error_line(format_line(batch_summary, static_cast<unsigned long long>(failures),
                                 static_cast<unsigned long long>(c.maps.size())));
  return failures > 0 ? failed : success;
}

int start(int argc, char** argv) {
  command c;
  if (status s = edit_command_parse(std::vector<std::string>(argv + 1, argv + argc), c); !s.is_ok()) {
    return usage_error("mapgraft-edit", s.why());
  }
  if (c.help || c.version) {
    standard_output().write(c.help ? help_text : version_text);
    return success;
  }
  if (c.writes_standard_output()) {
    if (!c.dry_run && standard_output_is_terminal()) {
      print_error_line(not_to_a_terminal);
      return failed;
    }
    standard_output().use_stream(2);
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
