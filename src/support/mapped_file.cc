#include "support/mapped_file.h"

bool mapped_file_open_source(const char* path, file_source& source, status& why) {
  input_file file;
  why = input_open(path, input_rules{}, file);
  if (!why.is_ok()) return false;
  source = {file.handle, file.length};
  return true;
}

void mapped_file_close_source(file_source& source) {
  input_file file;
  file.handle = source.file;
  input_close(file);
  source = {};
}
