#pragma once

// Every failure's code, in one list: first the library's public codes, in
// the order and with the values of mg_error in include/mapgraft.h and with
// the texts mg_strerror gives them (src/lib/errors.cc checks the two against
// each other when it is compiled); after them the few the programs tell
// apart further, each a kind of the public code it names.
//   X(name, public code, text)
#define MAPGRAFT_PUBLIC_ERRORS(X)                                      \
  X(ok, MG_OK, "success")                                              \
  X(nomem, MG_ERR_NOMEM, "out of memory")                              \
  X(argument, MG_ERR_ARGUMENT, "invalid argument")                     \
  X(not_a_map, MG_ERR_NOT_A_MAP, "not a tarvex map file")              \
  X(damaged, MG_ERR_DAMAGED, "damaged map")                            \
  X(no_chunk, MG_ERR_NO_CHUNK, "no such chunk")                        \
  X(no_attr, MG_ERR_NO_ATTR, "no such attribute")                      \
  X(no_tileset, MG_ERR_NO_TILESET, "no tileset of its own")            \
  X(bad_tileset, MG_ERR_BAD_TILESET, "not a bitmap that can be a tileset") \
  X(too_large, MG_ERR_TOO_LARGE, "past the limits of the map format")  \
  X(io, MG_ERR_IO, "input/output error")                               \
  X(callback, MG_ERR_CALLBACK, "the write callback failed")            \
  X(changed, MG_ERR_CHANGED, "the file changed since it was read")     \
  X(verify, MG_ERR_VERIFY, "verification failed")                      \
  X(exists, MG_ERR_EXISTS, "the file exists")                          \
  X(busy, MG_ERR_BUSY, "another edit holds the file")

#define MAPGRAFT_PROGRAM_ERRORS(X)                                          \
  X(edit_in_progress, MG_ERR_BUSY, "another edit holds the map")            \
  X(temp_folder, MG_ERR_IO, "the temporary file's folder failed")           \
  X(empty_file, MG_ERR_IO, "empty file")                                    \
  X(backup, MG_ERR_IO, "the backup failed")
