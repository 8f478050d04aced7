#include "cli/operation_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/edit_texts.h"
#include "cli/read_to_end.h"
#include "support/shell_quote.h"
#include "support/file_io.h"
#include "support/mapped_file.h"
#include "lib/change_checks.h"
#include "lib/format_terms.h"
#include "support/memory.h"
#include "support/input_file.h"
#include "support/replacement_file.h"

namespace {

status refused(const char* format, const std::string& text) { return status::failure(error_code::io, format_line(format, text.c_str())); }

status file_failure(const std::string& path, const std::string& reason) {
  return status::failure(error_code::io, format_line(failure_line, quoted_name(path).c_str(), reason.c_str()));
}

#ifndef _WIN32
// A regular FILE of known size goes straight into one block of its size, so
// that it is held once; anything else but a folder is read to its end.
status read_named_file(const char* path, std::uint8_t*& bytes, std::size_t& length, bool& opened) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  opened = fd >= 0;
  if (fd < 0) return status::failure(error_code::io, system_error_text(errno));
  struct stat info {};
  status s = fstat(fd, &info) == 0 ? status::ok() : status::failure(error_code::io, system_error_text(errno));
  if (s.is_ok() && S_ISDIR(info.st_mode)) {
    opened = false;
    s = status::failure(error_code::io, not_regular_text);
  } else if (s.is_ok() && S_ISREG(info.st_mode) && info.st_size > 0) {
    std::uint32_t size = 0;
    s = input_length(fd, size);
    if (s.is_ok()) {
      bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(size)));
      length = size;
      s = input_read(fd, bytes, size);
    }
  } else if (s.is_ok()) {
    std::FILE* in = fdopen(fd, "rb");
    if (in == nullptr) {
      s = status::failure(error_code::io, system_error_text(errno));
    } else {
      s = read_to_end(in, bytes, length);
      std::fclose(in);
      return s;
    }
  }
  close(fd);
  return s;
}
#endif

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
#ifndef _WIN32
    bool opened = false;
    const status read = read_named_file(path.c_str(), file.bytes, file.length, opened);
    files_.push_back(file);
    if (!read.is_ok()) return refused(opened ? cannot_read : cannot_open, read.why());
#else
    // Read, not mapped and copied, so that the FILE is never in memory twice.
    status why = status::ok();
    file_source opened;
    const source_closer closer{opened};
    if (mapped_file_open_source(path.c_str(), opened, why)) {
      file.length = static_cast<std::size_t>(opened.length);
      file.bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(file.length)));
      why = file_read_at(opened.file, 0, {file.bytes, file.length});
      if (why.is_ok()) why = file_source_check_length(opened);
    }
    files_.push_back(file);
    if (!why.is_ok() && why.code() != error_code::empty_file)
      return refused(opened.file == -1 ? cannot_open : cannot_read, why.why());
#endif
  }
  data = {files_.back().bytes, files_.back().length};
  return status::ok();
}
