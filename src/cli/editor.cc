#include "cli/editor.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/command_line.h"
#include "support/file_identity.h"
#include "support/mapped_file.h"
#include "level/level_edit.h"
#include "level/level_writer.h"
#include "level/level_image.h"
#include "level/level_reader.h"
#include "level/level_report.h"
#include "support/memory.h"
#include "support/output_stream.h"
#include "support/edit_target.h"
#include "support/replacement_file.h"
#include "support/standard_streams.h"
#include "support/status.h"

#ifndef MAPGRAFT_VERSION
#error "MAPGRAFT_VERSION must be defined by the build"
#endif

namespace {

// Every text the program prints, apart from the reasons the library gives
// (level_edit.cc, and the system's texts), is here.

constexpr const char* help_text =
    "Usage: mapgraft-edit [OPTION | OPERATION]... [--] MAP...\n"
    "Edit the metadata chunks and the tileset of tarvex maps (.lvl). The operations\n"
    "are applied to each MAP in the order given, then the map is written once: to a\n"
    "temporary file beside it, which is read back and compared, then renamed over\n"
    "it. Without -o, a map whose result is the same bytes is not written at all.\n"
    "\n"
    "Operations:\n"
    "      --add TYPE FILE        append FILE's bytes as a new chunk of TYPE\n"
    "      --set KEY=VALUE        the first ATTR chunk of KEY takes the data\n"
    "                               KEY=VALUE and keeps its place, later ones are\n"
    "                               removed; without one, the chunk is appended\n"
    "      --unset KEY            remove every ATTR chunk of KEY\n"
    "      --remove INDEX[,INDEX...]\n"
    "                             remove those chunks\n"
    "      --remove-type TYPE     remove every chunk of TYPE\n"
    "      --replace INDEX FILE   chunk INDEX keeps its type and place and takes\n"
    "                               FILE's bytes\n"
    "      --tileset FILE         the tileset becomes the bitmap in FILE\n"
    "\n"
    "Options:\n"
    "  -n, --dry-run              do everything but write: say what would be written\n"
    "  -o, --output FILE          write the result to FILE, a new file with MAP's\n"
    "                               permissions, and leave MAP as it is (one MAP\n"
    "                               only)\n"
    "      --force                write a damaged map, or convert a file that does\n"
    "                               not look like a map\n"
    "  -v, --verbose              print mapgraft's report lines for each map\n"
    "  -q, --quiet                print nothing on standard output\n"
    "  -h, --help                 print this help and exit\n"
    "      --version              print the version and exit\n"
    "\n"
    "An ATTR chunk of KEY is one whose data begin with KEY=. INDEX is a chunk's\n"
    "number in the map as read, before any operation: the number mapgraft-inspect\n"
    "prints. A chunk removed by an operation no longer has one, and chunks added by\n"
    "this run have none. TYPE is 1 to 4 bytes, filled up with zero bytes. A FILE of\n"
    "'-' is standard input, read to its end once, before the first map.\n"
    "\n"
    "Exit status: 0 every map was written or is unchanged, 1 a map or a FILE failed,\n"
    "2 usage, 3 out of memory.\n";

constexpr const char* version_text = "mapgraft-edit (mapgraft) " MAPGRAFT_VERSION "\n";

// Usage: one line with the reason, then the pointer to --help.
constexpr const char* usage_line = "mapgraft-edit: %s";
constexpr const char* try_help_line = "Try 'mapgraft-edit --help' for more information.";
constexpr const char* unknown_option = "unknown option '%s'";
constexpr const char* needs_one_argument = "option '%s' needs an argument";
constexpr const char* needs_two_arguments = "option '%s' needs two arguments";
constexpr const char* takes_no_argument = "option '%s' takes no argument";
constexpr const char* bad_type = "chunk type '%s' is not 1 to 4 bytes";
constexpr const char* not_key_value = "'%s' is not KEY=VALUE";
constexpr const char* bad_key = "key '%s' is empty or holds '='";
constexpr const char* bad_index = "chunk index '%s' is not a plain decimal number";
constexpr const char* index_twice = "chunk index %s is given twice in one --remove";
constexpr const char* stdin_twice = "'-' (standard input) is given more than once";
constexpr const char* stdin_as_map = "'-' (standard input) cannot be a MAP";
constexpr const char* stdin_as_output = "'-' (standard input) cannot be the output FILE";
constexpr const char* output_twice = "option '--output' is given more than once";
constexpr const char* no_operation = "no operation given";
constexpr const char* no_map = "no MAP given";
constexpr const char* output_needs_one_map = "--output takes exactly one MAP, not %llu";

// A FILE or a map that fails, on standard error.
constexpr const char* failure_line = "mapgraft-edit: '%s': %s";
constexpr const char* cannot_open = "cannot open: %s";
constexpr const char* cannot_read = "cannot read: %s";
constexpr const char* cannot_write = "cannot write: %s";
constexpr const char* cannot_write_output = "cannot write '%s': %s";
constexpr const char* not_a_map = "not a tarvex map file";
constexpr const char* damaged_map = "damaged map: %s (--force writes it anyway)";
constexpr const char* unlike_a_map =
    "does not look like a map: no bitmap, no metadata block, and %lld bytes are not whole 4-byte tiles "
    "(--force converts it anyway)";
constexpr const char* changed_while_waiting = "changed while waiting; indexes no longer apply";
constexpr const char* waiting_line = "mapgraft-edit: waiting for another edit of '%s'";
constexpr const char* verification_failed = "verification failed";
constexpr const char* verification_failed_because = "verification failed: %s";
constexpr const char* same_file_note = "mapgraft-edit: '%s': skipped: the same file as '%s'";
constexpr const char* output_lost = "mapgraft-edit: cannot write standard output: %s";

// A map's line on standard output.
constexpr const char* changed_line = "%s: %lld removed, %lld added, %lld replaced%s; %lld chunks; %llu bytes %s%s";
constexpr const char* tileset_part = "; tileset replaced";
constexpr const char* written_part = "written";
constexpr const char* would_be_written_part = "would be written";
constexpr const char* output_part = " to %s";
constexpr const char* unchanged_line = "%s: unchanged";
constexpr const char* would_be_unchanged_line = "%s: would be unchanged";

enum exit_status { success = 0, failed = 1, usage = 2 };

// The command line, understood.
struct command {
  std::vector<edit_operation> operations;
  std::vector<std::optional<std::string>> files;  // each operation's FILE
  std::vector<std::string> maps;
  std::optional<std::string> output;
  bool dry_run = false;
  bool force = false;
  bool verbose = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
  bool reads_standard_input = false;

  bool has_index_operations() const {
    return std::any_of(operations.begin(), operations.end(), [](const edit_operation& op) {
      return op.what == edit_operation::kind::remove || op.what == edit_operation::kind::replace;
    });
  }
};

using values = std::vector<std::string>;

status refused(const char* format, const std::string& text) { return status::failure(format_line(format, text.c_str())); }

status take_type(const std::string& text, std::uint8_t type[4]) {
  if (text.empty() || text.size() > 4) return refused(bad_type, text);
  std::memset(type, 0, 4);
  std::memcpy(type, text.data(), text.size());
  return status::ok();
}

status take_key(const std::string& key) {
  if (key.empty() || key.find('=') != std::string::npos) return refused(bad_key, key);
  return status::ok();
}

// Digits only: a sign, a space or a suffix is a usage error rather than a
// chunk that is not there. Numbers beyond any map saturate and name no chunk.
status take_index(const std::string& text, std::uint64_t& index) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return refused(bad_index, text);
  constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  index = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    index = index > (most - digit) / 10 ? most : index * 10 + digit;
  }
  return status::ok();
}

edit_operation operation(edit_operation::kind what) {
  edit_operation op{};
  op.what = what;
  return op;
}

status push(command& c, edit_operation op, std::optional<std::string> file = std::nullopt) {
  if (file && *file == "-") {
    if (c.reads_standard_input) return status::failure(stdin_twice);
    c.reads_standard_input = true;
  }
  c.operations.push_back(std::move(op));
  c.files.push_back(std::move(file));
  return status::ok();
}

status take_add(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::add);
  if (status s = take_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_set(command& c, const values& v) {
  const std::size_t equals = v[0].find('=');
  if (equals == std::string::npos) return refused(not_key_value, v[0]);
  edit_operation op = operation(edit_operation::kind::set);
  op.key = v[0].substr(0, equals);
  op.value = v[0].substr(equals + 1);
  if (status s = take_key(op.key); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_unset(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::unset);
  op.key = v[0];
  if (status s = take_key(op.key); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_remove(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::remove);
  std::vector<std::string> seen;  // without leading zeros, so that 3 and 03 are one index
  for (std::size_t start = 0;;) {
    const std::size_t comma = v[0].find(',', start);
    const std::string item = v[0].substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::uint64_t index = 0;
    if (status s = take_index(item, index); !s.is_ok()) return s;
    const std::string number = item.substr(std::min(item.find_first_not_of('0'), item.size() - 1));
    if (std::find(seen.begin(), seen.end(), number) != seen.end()) return refused(index_twice, number);
    seen.push_back(number);
    op.indexes.push_back(index);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return push(c, std::move(op));
}

status take_remove_type(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::remove_type);
  if (status s = take_type(v[0], op.type); !s.is_ok()) return s;
  return push(c, std::move(op));
}

status take_replace(command& c, const values& v) {
  edit_operation op = operation(edit_operation::kind::replace);
  op.indexes.push_back(0);
  if (status s = take_index(v[0], op.indexes[0]); !s.is_ok()) return s;
  return push(c, std::move(op), v[1]);
}

status take_tileset(command& c, const values& v) { return push(c, operation(edit_operation::kind::tileset), v[0]); }

status take_output(command& c, const values& v) {
  if (c.output) return status::failure(output_twice);
  if (v[0] == "-") return status::failure(stdin_as_output);
  c.output = v[0];
  return status::ok();
}

struct option_entry {
  const char* long_name;
  char short_name;  // 0: none
  std::size_t arguments;
  status (*take)(command&, const values&);
};

constexpr option_entry option_table[] = {
    {"add", 0, 2, take_add},
    {"set", 0, 1, take_set},
    {"unset", 0, 1, take_unset},
    {"remove", 0, 1, take_remove},
    {"remove-type", 0, 1, take_remove_type},
    {"replace", 0, 2, take_replace},
    {"tileset", 0, 1, take_tileset},
    {"dry-run", 'n', 0, [](command& c, const values&) { c.dry_run = true; return status::ok(); }},
    {"output", 'o', 1, take_output},
    {"force", 0, 0, [](command& c, const values&) { c.force = true; return status::ok(); }},
    // Whichever of --verbose and --quiet comes last holds.
    {"verbose", 'v', 0, [](command& c, const values&) { c.verbose = true;
       c.quiet = false;
       return status::ok(); }},
    {"quiet", 'q', 0, [](command& c, const values&) { c.quiet = true;
       c.verbose = false;
       return status::ok(); }},
    {"help", 'h', 0, [](command& c, const values&) { c.help = true; return status::ok(); }},
    {"version", 0, 0, [](command& c, const values&) { c.version = true; return status::ok(); }},
};

const option_entry* find_long(const std::string& name) {
  for (const option_entry& entry : option_table)
    if (name == entry.long_name) return &entry;
  return nullptr;
}

const option_entry* find_short(char name) {
  for (const option_entry& entry : option_table)
    if (entry.short_name != 0 && name == entry.short_name) return &entry;
  return nullptr;
}

// GNU conventions: options and operands in any order until "--"; a long
// option's first argument may follow an '='; short options may be grouped,
// and one that takes an argument ends the group with it or takes the next.
// --help and --version act as soon as they are met.
status parse(const std::vector<std::string>& arguments, command& c) {
  bool operands_only = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (operands_only || argument.size() < 2 || argument[0] != '-') {
      c.maps.push_back(argument);
      continue;
    }
    if (argument == "--") {
      operands_only = true;
      continue;
    }
    values taken;
    const option_entry* entry = nullptr;
    std::string name;
    if (argument[1] == '-') {
      const std::size_t equals = argument.find('=');
      name = argument.substr(0, equals);
      entry = find_long(name.substr(2));
      if (entry == nullptr) return refused(unknown_option, name);
      if (equals != std::string::npos) {
        if (entry->arguments == 0) return refused(takes_no_argument, name);
        taken.push_back(argument.substr(equals + 1));
      }
    } else {
      for (std::size_t j = 1; j < argument.size(); ++j) {
        name = std::string("-") + argument[j];
        entry = find_short(argument[j]);
        if (entry == nullptr) return refused(unknown_option, name);
        if (entry->arguments > 0) {
          if (j + 1 < argument.size()) taken.push_back(argument.substr(j + 1));
          break;
        }
        if (j + 1 == argument.size()) break;
        if (status s = entry->take(c, {}); !s.is_ok()) return s;
        if (c.help || c.version) return status::ok();
      }
    }
    while (taken.size() < entry->arguments) {
      if (++i == arguments.size()) return refused(entry->arguments == 1 ? needs_one_argument : needs_two_arguments, name);
      taken.push_back(arguments[i]);
    }
    if (status s = entry->take(c, taken); !s.is_ok()) return s;
    if (c.help || c.version) return status::ok();
  }

  if (std::find(c.maps.begin(), c.maps.end(), "-") != c.maps.end()) return status::failure(stdin_as_map);
  if (c.operations.empty()) return status::failure(no_operation);
  if (c.maps.empty()) return status::failure(no_map);
  c.maps = expand_wildcards(c.maps);
  if (c.output && c.maps.size() != 1)
    return status::failure(format_line(output_needs_one_map, static_cast<unsigned long long>(c.maps.size())));
  return status::ok();
}

status file_failure(const std::string& path, const std::string& reason) {
  return status::failure(format_line(failure_line, path.c_str(), reason.c_str()));
}

status read_all_of_standard_input(std::uint8_t*& bytes, std::size_t& length) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  // Like any input, less than 2 GiB.
  constexpr std::size_t most = std::numeric_limits<std::int32_t>::max();
  std::size_t capacity = 64 << 10;
  bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(capacity)));
  length = 0;
  while (!std::feof(stdin)) {
    if (length == capacity) {
      if (capacity == most) {
        std::uint8_t more = 0;
        if (std::fread(&more, 1, 1, stdin) == 1) return status::failure(too_large_text);
        break;
      }
      const std::size_t grown = std::min(capacity * 2, most);
      auto* larger = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(grown)));
      std::memcpy(larger, bytes, length);
      mem_release(bytes);
      bytes = larger;
      capacity = grown;
    }
    length += std::fread(bytes + length, 1, capacity - length, stdin);
    if (std::ferror(stdin)) return status::failure(system_error_text(errno));
  }
  return status::ok();
}

// The operations' FILEs, each read once before any map and kept in memory
// for all of them: no FILE stays open while a map is replaced, so a FILE may
// be one of the maps, even on Windows.
class operation_files {
 public:
  operation_files() = default;
  operation_files(const operation_files&) = delete;
  operation_files& operator=(const operation_files&) = delete;
  ~operation_files() {
    for (const file_bytes& file : files_) mem_release(file.bytes);
  }

  status read(command& c) {
    for (std::size_t i = 0; i < c.operations.size(); ++i) {
      if (!c.files[i]) continue;
      const std::string& path = *c.files[i];
      edit_operation& op = c.operations[i];
      if (status s = read_once(path, op.data); !s.is_ok()) return file_failure(path, s.why());
      std::uint32_t bitmap_length = 0;
      if (op.what == edit_operation::kind::tileset)
        if (status s = tileset_file_check(op.data, bitmap_length); !s.is_ok()) return file_failure(path, s.why());
    }
    return status::ok();
  }

 private:
  struct file_bytes {
    std::string path;
    std::uint8_t* bytes;
    std::size_t length;
  };

  // An empty FILE is read as no bytes, which --add and --replace take.
  status read_once(const std::string& path, std::span<const std::uint8_t>& data) {
    for (const file_bytes& file : files_) {
      if (file.path != path) continue;
      data = {file.bytes, file.length};
      return status::ok();
    }
    file_bytes file{path, nullptr, 0};
    if (path == "-") {
      const status read = read_all_of_standard_input(file.bytes, file.length);
      files_.push_back(file);
      if (!read.is_ok()) return refused(cannot_read, read.why());
    } else {
      std::string why;
      const mapped_file_ptr opened(mapped_file_open(path.c_str(), why));
      if (opened) {
        file.length = opened->length;
        file.bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(file.length)));
        std::memcpy(file.bytes, opened->view, file.length);
      }
      files_.push_back(file);
      if (!opened && why != empty_file_text) return refused(cannot_open, why);
    }
    data = {files_.back().bytes, files_.back().length};
    return status::ok();
  }

  std::vector<file_bytes> files_;
};

// The reader's and the writer's lines, printed with --verbose. Damage is
// noted either way: the first found is the reason a map fails.
class map_report final : public report_sink {
 public:
  explicit map_report(bool verbose) : verbose_(verbose) {}

  void report(report_kind kind, std::string_view line) override {
    if (kind == report_kind::overflow && damage_reason.empty()) damage_reason = line;
    if (verbose_) out_.report(kind, line);
  }
  void metadata(const metadata_found& found) override {
    if (verbose_) out_.metadata(found);
  }
  void chunk(const chunk_found& found) override {
    if (verbose_) out_.chunk(found);
  }
  void damage(const damage_found& found) override {
    if (!damage_reason.empty()) return;
    damage_reason = damage_line(found).view();
  }
  void chunk_written(const chunk_record* record) override {
    if (verbose_) out_.chunk_written(record);
  }
  void flush() override {
    if (verbose_) out_.flush();
  }

  std::string damage_reason;

 private:
  bool verbose_;
  stdout_report out_;
};

// Counts what a dry run would write.
class counting_sink final : public byte_sink {
 public:
  status write(std::span<const std::uint8_t> bytes) override {
    total += bytes.size();
    return status::ok();
  }
  status copy(const file_source& source) override {
    total += source.length;
    return status::ok();
  }
  std::uint64_t total = 0;
};

void print_line(const command& c, const std::string& line) {
  if (c.quiet) return;
  output_stream& out = standard_output();
  out.write(line);
  out.put('\n');
  out.flush();
}

std::string change_text(const command& c, const std::string& path, const edit_summary& summary, std::uint64_t bytes) {
  return format_line(changed_line, path.c_str(), static_cast<long long>(summary.removed), static_cast<long long>(summary.added),
                     static_cast<long long>(summary.replaced), summary.tileset_replaced ? tileset_part : "",
                     static_cast<long long>(summary.chunks), static_cast<unsigned long long>(bytes),
                     c.dry_run ? would_be_written_part : written_part,
                     c.output ? format_line(output_part, c.output->c_str()).c_str() : "");
}

// Edits one map; on failure returns the reason, and the map is as it was.
status edit_map(const command& c, const std::string& path, std::span<const edit_operation> operations) {
  // Held until the new map is in place: another edit of the map waits.
  edit_target input;
  const auto waiting = [&path] { print_error_line(format_line(waiting_line, path.c_str())); };
  if (status s = input.open(path.c_str(), waiting); !s.is_ok())
    return s.why() == edit_in_progress_text ? refused(cannot_write, s.why()) : refused(cannot_open, s.why());
  if (input.changed_while_waiting() && c.has_index_operations()) return status::failure(changed_while_waiting);

  level_image_owner level;
  level_image& image = level.image;
  map_report report(c.verbose);
  const read_result read = level_read(image, input.bytes(), report);
  report.flush();
  if (read == read_result::rejected) return status::failure(not_a_map);
  if (!c.force && !report.damage_reason.empty()) return refused(damaged_map, report.damage_reason);
  if (!c.force && image.shape == level_shape::plain && input.bytes().size() % 4 != 0)
    return status::failure(format_line(unlike_a_map, static_cast<long long>(input.bytes().size())));

  // With -o the result is written whatever it is, and the map's bytes are
  // not needed again.
  if (c.output) input.release_bytes();
  edit_summary summary;
  if (status s = level_apply_edits(image, operations, summary); !s.is_ok()) return s;

  if (!c.output) {
    const std::span<const std::uint8_t> old = input.bytes();
    bool same = false;
    const block_reader read_old = [old](std::uint64_t offset, std::span<std::uint8_t> out) {
      std::memcpy(out.data(), old.data() + offset, out.size());
      return status::ok();
    };
    if (status s = level_compare_written(image, read_old, old.size(), same); !s.is_ok()) return refused(cannot_write, s.why());
    if (same) {
      print_line(c, format_line(c.dry_run ? would_be_unchanged_line : unchanged_line, path.c_str()));
      return status::ok();
    }
  }
  input.release_bytes();

  const auto write_failed = [&](const status& s) {
    return c.output ? status::failure(format_line(cannot_write_output, c.output->c_str(), s.why().c_str()))
                    : refused(cannot_write, s.why());
  };
  if (c.dry_run) {
    if (status s = c.output ? replacement_file::probe_new(c.output->c_str()) : replacement_file::probe(path.c_str()); !s.is_ok())
      return write_failed(s);
    counting_sink count;
    const status counted = level_write_to(image, count, report);
    report.flush();
    if (!counted.is_ok()) return write_failed(counted);
    print_line(c, change_text(c, path, summary, count.total));
    return status::ok();
  }

  replacement_file file;
  if (status s = c.output ? file.begin_new(c.output->c_str(), path.c_str()) : file.begin(input); !s.is_ok())
    return write_failed(s);
  const status written = level_write_to(image, file, report);
  report.flush();
  if (!written.is_ok()) return write_failed(written);

  // What is about to replace the map is read back and compared with what
  // was meant, block by block.
  std::uint64_t length = 0;
  bool same = false;
  status verified = file.written_length(length);
  if (verified.is_ok())
    verified = level_compare_written(
        image, [&file](std::uint64_t offset, std::span<std::uint8_t> out) { return file.read_back(offset, out); }, length, same);
  if (!verified.is_ok()) return refused(verification_failed_because, verified.why());
  if (!same) return status::failure(verification_failed);

  if (status s = file.commit(); !s.is_ok()) return write_failed(s);
  print_line(c, change_text(c, path, summary, length));
  for (const std::string& line : file.warnings()) print_error_line("mapgraft-edit: warning: " + line);
  return status::ok();
}

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
  if (status s = parse(std::vector<std::string>(argv + 1, argv + argc), c); !s.is_ok()) {
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
