// The page takes a chunk type by the programs' rule, and refuses one in their
// words, so that the text lives in one place.
#include <mapgraft.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/chunk_arguments.h"

// The type in type[4], or MG_ERR_ARGUMENT with the reason in *reason (NULL if
// memory ran out), which the caller frees.
extern "C" int mgweb_chunk_type(const char* text, std::size_t size, unsigned char* type, char** reason) {
  *reason = nullptr;
  const status s = parse_chunk_type(std::string(text, size), type);
  if (s.is_ok()) return MG_OK;
  *reason = static_cast<char*>(std::malloc(s.why().size() + 1));
  if (*reason != nullptr) std::memcpy(*reason, s.why().c_str(), s.why().size() + 1);
  return MG_ERR_ARGUMENT;
}
