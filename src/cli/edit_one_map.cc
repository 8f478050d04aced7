#include "cli/edit_one_map.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "cli/binary_output.h"
#include "cli/change_lines.h"
#include "cli/edit_texts.h"
#include "cli/per_map_operations.h"
#include "cli/pending_temp.h"
#include "cli/stdout_report.h"
#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/file_identity.h"
#include "support/output_stream.h"
#include "support/shell_quote.h"

namespace {

// The failure, its reason put into one of the program's lines.
status refused(const char* format, const status& s) {
  return status::failure(s.code(), format_line(format, s.why().c_str()), s.system_error());
}

void print_line(const command& c, const std::string& line, map_in_batch* batch = nullptr) {
  if (c.quiet) return;
  if (batch != nullptr) {
    batch->lines.emplace_back(false, line);
    return;
  }
  output_stream& out = standard_output();
  out.write(line);
  out.put('\n');
  out.flush();
}

std::string change_text(const command& c, const std::string& path, const edit_summary& summary, std::uint64_t bytes) {
  return format_line(changed_line, shown_name(path).c_str(), static_cast<long long>(summary.removed), static_cast<long long>(summary.added),
                     static_cast<long long>(summary.replaced), summary.tileset_replaced ? tileset_part : "",
                     static_cast<long long>(summary.chunks), static_cast<unsigned long long>(bytes),
                     c.dry_run ? would_be_written_part : written_part,
                     !c.output                ? ""
                     : c.writes_standard_output() ? standard_output_part
                                                  : format_line(output_part, shown_name(*c.output).c_str()).c_str());
}

// The map as read, or the reason it is refused. The reader's lines are
// printed with --verbose.
status read_map(const command& c, map_file& map, report_sink& report) {
  map_read_options options;
  options.flags = c.force ? MG_READ_FORCE : MG_READ_STRICT;
  options.report = &report;
  const status read = map.read_opened(options);
  report.flush();
  if (read.is_ok()) return read;
  if (read.code() == error_code::damaged) return refused(damaged_map, read);
  if (read.code() == error_code::not_a_map && map.unlike_a_map() != nullptr) return refused(unlike_a_map, read);
  return status::failure(error_code::not_a_map, not_a_map);
}

// The reports show a short type right-aligned, as "  AB" for AB and two zero
// bytes, so a type copied from them has leading spaces where the chunk has
// none: a --remove-type that matches nothing that way says which type to use.
void hint_at_shown_types(const std::string& path, const level_image& image, std::span<const edit_operation> operations,
                         map_in_batch* batch) {
  for (const edit_operation& op : operations) {
    if (op.what != edit_operation::kind::remove_type || op.type[0] != ' ') continue;
    std::size_t spaces = 0;
    while (spaces < 4 && op.type[spaces] == ' ') ++spaces;
    std::uint8_t meant[4] = {};
    std::memcpy(meant, op.type + spaces, 4 - spaces);
    std::size_t exact = 0, shown = 0;
    chunk_list_for_each(image.chunks, [&](const chunk_record* record) {
      exact += std::memcmp(chunk_record_type(record), op.type, 4) == 0;
      shown += std::memcmp(chunk_record_type(record), meant, 4) == 0;
    });
    if (exact > 0 || shown == 0 || spaces == 4) continue;
    const std::string typed(reinterpret_cast<const char*>(op.type), 4), letters(typed.substr(spaces));
    std::string line = format_line(shown_type_hint, quoted_name(path).c_str(), quoted_name(typed).c_str(),
                                   quoted_name(letters).c_str(), quoted_name(letters).c_str());
    if (batch != nullptr)
      batch->lines.emplace_back(true, std::move(line));
    else
      print_error_line(line);
  }
}

status write_failure(const command& c, const status& s) {
  if (is_temp_folder_failure(s) || s.code() == error_code::backup) return s;
  if (c.writes_standard_output()) return refused(cannot_write_standard_output, s);
  return c.output ? status::failure(s.code(), format_line(cannot_write_output, quoted_name(*c.output).c_str(), s.why().c_str()),
                                    s.system_error())
                  : refused(cannot_write, s);
}

}  // namespace

status edit_map(const command& c, const std::string& path, std::span<const edit_operation> given,
                const attribute_row* row, map_in_batch* batch) {
  // As cat does: writing the map to the end of its own file would grow it
  // for ever, or overwrite what is still to be read.
  if (c.writes_standard_output() && standard_output_is_file(path.c_str()))
    return status::failure(error_code::io, input_is_output);
  // Held until the new map is in place: another edit of the map waits.
  map_file alone;
  map_file& map = batch != nullptr ? *batch->map : alone;
  const auto waiting = [&path] { print_error_line(format_line(waiting_line, quoted_name(path).c_str())); };
  const status opened =
      batch != nullptr ? map.open_for_edit_if_free(path.c_str(), batch->busy) : map.open_for_edit(path.c_str(), waiting);
  if (batch != nullptr && batch->busy) return status::ok();
  if (status s = opened; !s.is_ok())
    return s.code() == error_code::edit_in_progress ? refused(cannot_write, s) : refused(cannot_open, s);
  if (map.changed_while_waiting() && c.has_index_operations()) return status::failure(error_code::io, changed_while_waiting);

  stdout_report printed;
  null_report quiet;
  report_sink& report = c.verbose ? static_cast<report_sink&>(printed) : quiet;
  if (status s = read_map(c, map, report); !s.is_ok()) return s;
  hint_at_shown_types(path, map.image(), given, batch);
  std::vector<edit_operation> per_map;
  const bool computed = row != nullptr || !c.copy_sources.empty();
  if (computed) per_map = per_map_operations(c, map.image(), row);
  const std::span<const edit_operation> operations = computed ? std::span<const edit_operation>(per_map) : given;
  // A row that changes nothing leaves even a plain map as it is, so that a
  // table exported and imported again writes nothing.
  if (row != nullptr && operations.empty() && !c.output) {
    print_line(c, format_line(c.dry_run ? would_be_unchanged_line : unchanged_line, shown_name(path).c_str()), batch);
    return status::ok();
  }

  // With -o the result is written whatever it is, and the map's bytes are
  // not needed again.
  if (c.output) map.release_bytes();
  change_lines changes;
  if (c.verbose) changes.before(map.image());
  edit_summary summary;
  std::vector<std::int8_t> fates;
  if (status s = map.apply(operations, summary, c.verbose ? &fates : nullptr); !s.is_ok()) return s;
  // Printed before the map's count line, whatever becomes of the write.
  const std::vector<std::string> change_text_lines =
      c.verbose ? changes.after(map.image(), summary, fates) : std::vector<std::string>{};
  const auto print_changes = [&] {
    for (const std::string& line : change_text_lines) print_line(c, line);
  };

  if (!c.output) {
    bool same = false;
    if (status s = map.unchanged(same); !s.is_ok()) return refused(cannot_write, s);
    if (same) {
      print_line(c, format_line(c.dry_run ? would_be_unchanged_line : unchanged_line, shown_name(path).c_str()), batch);
      return status::ok();
    }
  }
  map.release_bytes();

  const auto write_failed = [&c](const status& s) { return write_failure(c, s); };
  // To standard output: a pipe cannot be read back, so what goes down it is
  // what the writer gave; a dry run only counts.
  if (c.writes_standard_output()) {
    standard_output_sink out;
    counting_sink count(c.dry_run ? nullptr : &out);
    const status counted = map.write_to(count, report);
    report.flush();
    if (!counted.is_ok()) return write_failed(counted);
    print_changes();
    print_line(c, change_text(c, path, summary, count.total));
    return status::ok();
  }

  map_save_options how;
  how.path = c.output ? c.output->c_str() : path.c_str();
  how.create = c.output.has_value();
  how.like = path.c_str();
  how.check_only = c.dry_run;
  how.backup = c.backup && !c.output ? c.backup->c_str() : nullptr;
  how.report = &report;
  how.watch_temp = pending_temp_watcher();
  if (batch != nullptr) {
    // The report is this call's; a batch is never verbose.
    how.report = nullptr;
    batch->how = how;
    batch->summary = summary;
    batch->to_save = true;
    return status::ok();
  }
  map_saved saved;
  if (status s = map.save(how, saved); !s.is_ok()) return s.code() == error_code::verify ? s : write_failed(s);
  print_changes();
  print_line(c, change_text(c, path, summary, saved.length));
  for (const std::string& line : saved.warnings) print_error_line("mapgraft-edit: warning: " + line);
  return status::ok();
}

status finish_map_in_batch(const command& c, const std::string& path, const map_in_batch& batch,
                           const status& saved_as, const map_saved& saved) {
  if (!saved_as.is_ok()) return saved_as.code() == error_code::verify ? saved_as : write_failure(c, saved_as);
  print_line(c, change_text(c, path, batch.summary, saved.length));
  for (const std::string& line : saved.warnings) print_error_line("mapgraft-edit: warning: " + line);
  return status::ok();
}
