#include "cli/operation_files.h"

#include <cstdio>

#include "cli/edit_texts.h"
#include "lib/change_checks.h"
#include "lib/format_terms.h"
#include "support/format_line.h"
#include "support/input_file.h"
#include "support/memory.h"
#include "support/shell_quote.h"
#include "support/standard_streams.h"

namespace {

status refused(const char* format, const std::string& text) { return status::failure(error_code::io, format_line(format, text.c_str())); }

status file_failure(const std::string& path, const std::string& reason) {
  return status::failure(error_code::io, format_line(failure_line, quoted_name(path).c_str(), reason.c_str()));
}

// A FILE may be empty, and may be a FIFO or a device, read as standard input
// is.
input_rules file_rules() {
  input_rules rules;
  rules.empty_allowed = true;
  rules.streams_allowed = true;
  return rules;
}

}  // namespace

operation_files::~operation_files() {
  for (const file_bytes& file : files_) mem_release(file.bytes);
}

status operation_files::read(command& c) {
  for (std::size_t i = 0; i < c.operations.size(); ++i) {
    if (!c.files[i]) continue;
    const std::string& path = *c.files[i];
    edit_operation& op = c.operations[i];
    if (status s = read_once(path, op.data); !s.is_ok()) return file_failure(path, s.why());
    op.borrow_data = true;  // files_ outlives every map of the run
    std::uint32_t bitmap_length = 0;
    if (op.what == edit_operation::kind::tileset)
      if (status s = tileset_check(op.data, bitmap_length); !s.is_ok()) return file_failure(path, s.why());
  }
  return status::ok();
}

// An empty FILE is read as no bytes, which --add and --replace take.
status operation_files::read_other(const std::string& path, std::span<const std::uint8_t>& data) {
  if (status s = read_once(path, data); !s.is_ok()) return file_failure(path, s.why());
  return status::ok();
}

status operation_files::read_once(const std::string& path, std::span<const std::uint8_t>& data) {
  for (const file_bytes& file : files_) {
    if (file.path != path) continue;
    data = {file.bytes, file.length};
    return status::ok();
  }
  file_bytes file{path, nullptr, 0};
  if (path == "-") {
    standard_input_binary();
    const status read = read_to_end(stdin, file.bytes, file.length);
    files_.push_back(file);
    if (!read.is_ok()) return refused(cannot_read, read.why());
  } else {
    input_file in;
    const input_closer closer{in};
    status why = input_open(path.c_str(), file_rules(), in);
    const bool opened = why.is_ok();
    if (opened) why = input_read_all(in, file.bytes, file.length);
    files_.push_back(file);
    if (!why.is_ok()) return refused(opened ? cannot_read : cannot_open, why.why());
  }
  data = {files_.back().bytes, files_.back().length};
  return status::ok();
}
