#include "support/mapped_file.h"

#include "support/memory.h"

// Inputs are read, never mapped: a mapped file that another program truncates
// meanwhile ends the process with SIGBUS where a read simply comes up short.
// Reading costs no more either, since a page fault can cost more on a virtual
// machine than copying the page.

mapped_file* mapped_file_open(const char* path, status& why) {
  input_file file;
  const input_closer closer{file};
  std::uint8_t* bytes = nullptr;
  std::size_t length = 0;
  why = input_open(path, input_rules{}, file);
  if (why.is_ok()) why = input_read_all(file, bytes, length);
  if (!why.is_ok()) {
    mem_release(bytes);
    return nullptr;
  }
  auto* opened = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
  opened->view = bytes;
  opened->length = static_cast<std::uint32_t>(length);
  opened->file = -1;
  opened->mapping = -1;
  return opened;
}

void mapped_file_close(mapped_file* file) {
  if (file == nullptr) return;
  mem_release(const_cast<std::uint8_t*>(file->view));
  mem_release(file);
}
