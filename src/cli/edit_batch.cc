#include "cli/edit_batch.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/binary_output.h"
#include "cli/edit_options.h"
#include "cli/edit_one_map.h"
#include "cli/edit_window.h"
#include "cli/folder_maps.h"
#include "cli/progress_line.h"
#include "cli/edit_texts.h"
#include "cli/operation_files.h"
#include "cli/option_parser.h"
#include "support/backup_file.h"
#include "support/file_identity.h"
#include "support/format_line.h"
#include "support/output_stream.h"
#include "support/replacement_file.h"
#include "support/shell_quote.h"
#include "support/standard_streams.h"
#include "support/status.h"

namespace {

enum exit_status { success = 0, failed = 1, usage = 2 };

struct identity_hash {
  std::size_t operator()(const file_identity& id) const {
    return std::hash<std::uint64_t>()(id.file) ^ (std::hash<std::uint64_t>()(id.device) * 0x9E3779B97F4A7C15ull);
  }
};

// Whether the backup of `path` would be put over a map of this run, by
// name or by another name of the same file.
bool backup_is_a_map(const command& c, const std::string& path, const std::unordered_map<std::string_view, std::size_t>& maps,
                     const std::unordered_map<file_identity, std::size_t, identity_hash>& files) {
  const std::string backup = backup_name(path.c_str(), c.backup->c_str());
  file_identity identity;
  return maps.count(backup) > 0 || (file_identity_of(backup.c_str(), identity) && files.count(identity) > 0);
}

int run(const command& c) {
  // A later name is skipped only when it reaches a file this run has already
  // dealt with: the new file it wrote, or one it found unchanged, would have
  // written or failed on. A hard link to a map just replaced still names the
  // old file, which is then edited in its turn.
  std::unordered_map<file_identity, std::size_t, identity_hash> dealt_with;
  std::unordered_map<std::string_view, std::size_t> names;
  std::unordered_map<std::string_view, std::size_t> all_names;
  std::unordered_map<file_identity, std::size_t, identity_hash> all_files;
  if (c.backup) {
    for (std::size_t i = 0; i < c.maps.size(); ++i) {
      all_names.emplace(c.maps[i], i);
      if (file_identity identity; file_identity_of(c.maps[i].c_str(), identity)) all_files.emplace(identity, i);
    }
  }
  edit_window window(c, [&](std::size_t i) {
    file_identity identity;
    if (file_identity_of(c.maps[i].c_str(), identity)) dealt_with.emplace(identity, i);
  });
  start_run_progress("mapgraft-edit", c.maps.size(), c.progress);
  for (std::size_t i = 0; i < c.maps.size(); ++i) {
    window.next(i);
    const std::string& path = c.maps[i];
    file_identity identity;
    bool known = file_identity_of(path.c_str(), identity);
    // A file the window may be about to replace is looked at once it has.
    if (known && window.holds(identity)) {
      window.finish();
      known = file_identity_of(path.c_str(), identity);
    }
    auto first = names.find(path);
    if (first == names.end() && known) {
      if (const auto found = dealt_with.find(identity); found != dealt_with.end()) first = names.find(c.maps[found->second]);
    }
    if (first != names.end()) {
      window.error_line(format_line(same_file_note, quoted_name(path).c_str(), quoted_name(c.maps[first->second]).c_str()),
                        false);
      continue;
    }
    names.emplace(path, i);
    if (i < c.map_failures.size() && !c.map_failures[i].empty()) {
      window.error_line(format_line(failure_line, quoted_name(path).c_str(),
                                    format_line(folder_unread, c.map_failures[i].c_str()).c_str()),
                        true);
      continue;
    }
    if (!c.recursive && is_folder(path)) {
      window.error_line(format_line(failure_line, quoted_name(path).c_str(), folder_without_r), true);
      continue;
    }
    if (c.backup && backup_is_a_map(c, path, all_names, all_files)) {
      const status s = backup_failure(backup_name(path.c_str(), c.backup->c_str()), backup_is_a_map_text);
      window.error_line(format_line(failure_line, quoted_name(path).c_str(), s.why().c_str()), true);
      continue;
    }
    window.edit(path, c.operations, c.rows.empty() ? nullptr : &c.rows[i], known ? &identity : nullptr);
  }
  window.finish();
  const std::size_t failures = window.failures();
  run_progress().erase();
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
  const auto read_other = [&files](const std::string& path, std::span<const std::uint8_t>& bytes) {
    return files.read_other(path, bytes);
  };
  if (status s = copy_sources_read(c, read_other); !s.is_ok()) {
    print_error_line(s.why());
    return failed;
  }
  if (c.import_table) {
    std::span<const std::uint8_t> table;
    if (status s = files.read_other(*c.import_table, table); !s.is_ok()) {
      print_error_line(s.why());
      return failed;
    }
    const std::string_view text(reinterpret_cast<const char*>(table.data()), table.size());
    if (status s = attribute_table_read(text, c.rows); !s.is_ok())
      return usage_error("mapgraft-edit", format_line(import_refused, quoted_name(*c.import_table).c_str(), s.why().c_str()));
    for (const attribute_row& row : c.rows) c.maps.push_back(row.file);
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
