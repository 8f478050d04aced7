#pragma once

// Every mg_error code with the text mg_strerror gives it, in the order of
// the enum in mapgraft.h; errors.cc checks the two against each other when
// it is compiled. X(code, text) for each.
#define MG_ERROR_LIST(X)                                   \
  X(MG_OK, "success")                                      \
  X(MG_ERR_NOMEM, "out of memory")                         \
  X(MG_ERR_ARGUMENT, "invalid argument")                   \
  X(MG_ERR_NOT_A_MAP, "not a tarvex map file")             \
  X(MG_ERR_DAMAGED, "damaged map")                         \
  X(MG_ERR_NO_CHUNK, "no such chunk")                      \
  X(MG_ERR_NO_ATTR, "no such attribute")                   \
  X(MG_ERR_NO_TILESET, "no tileset of its own")            \
  X(MG_ERR_BAD_TILESET, "not a bitmap that can be a tileset") \
  X(MG_ERR_TOO_LARGE, "past the limits of the map format") \
  X(MG_ERR_IO, "input/output error")                       \
  X(MG_ERR_CALLBACK, "the write callback failed")          \
  X(MG_ERR_CHANGED, "the file changed since it was read")  \
  X(MG_ERR_VERIFY, "verification failed")                  \
  X(MG_ERR_EXISTS, "the file exists")
