#include "cli/operation_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/edit_texts.h"
#include "support/mapped_file.h"
#include "level/level_edit.h"
#include "level/level_report.h"
#include "support/memory.h"
#include "support/replacement_file.h"

namespace {

status refused(const char* format, const std::string& text) { return status::failure(format_line(format, text.c_str())); }

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
    std::uint32_t bitmap_length = 0;
    if (op.what == edit_operation::kind::tileset)
      if (status s = tileset_file_check(op.data, bitmap_length); !s.is_ok()) return file_failure(path, s.why());
  }
  return status::ok();
}

// An empty FILE is read as no bytes, which --add and --replace take.
status operation_files::read_once(const std::string& path, std::span<const std::uint8_t>& data) {
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
