/* libmapgraft: read, change and safely rewrite tarvex map files (.lvl).
 *
 * A map file comes in three shapes, all numbers little-endian:
 *   plain     4-byte tile entries only;
 *   tileset   a Windows bitmap (the tileset), then the tile entries;
 *   extended  the bitmap padded to a multiple of 4 bytes, a metadata block,
 *             then the tile entries. The bitmap's first reserved field (u16
 *             at offset 6) holds the block's offset, and its file size field
 *             (u32 at offset 2) the offset of the tile entries.
 * The metadata block is the magic "elvl", its u32 total length, a u32 zero,
 * then chunk records back to back: a 4-byte type such as "ATTR", a u32 data
 * length L, L data bytes, zero padding up to a multiple of 4. An ATTR chunk
 * holds a text "key=value". Maps are always written in the extended shape;
 * a map without a tileset of its own gets the default one.
 *
 * Every function that can fail returns 0 (MG_OK) or an mg_error code; a
 * fault of the library itself, never expected, is MG_ERR_IO with EIO (on
 * Windows ERROR_INTERNAL_ERROR), never MG_ERR_NOMEM. The library never
 * exits, prints or installs signal handlers, and keeps no global mutable
 * state: two threads may use two maps at once, and the const functions may
 * run concurrently on one map. Every pointer returned into a
 * map stays valid until that map next changes or is freed.
 *
 * Callbacks (mg_map_write's write, mg_map_save_file's warn and temp) may use
 * other maps freely. On the map whose call called them they may make only the
 * queries: mg_map_shape, mg_map_damage, mg_map_unlike_a_map, mg_map_errmsg,
 * mg_map_chunk_count, mg_map_chunk, mg_map_tileset, mg_map_tiles,
 * mg_map_get_attr and mg_map_written_size. A change, mg_map_write or
 * mg_map_save_file of that map from inside a callback returns MG_ERR_ARGUMENT
 * at once and does nothing (mg_map_errmsg is left as it was), and
 * mg_map_free of it does nothing: the map stays, to be freed after the call
 * returns. This is per map, and per thread: while mg_map_write or
 * mg_map_save_file runs on a map, a change of that map from any thread is
 * refused the same way, but a write or save of it from another thread runs
 * as usual (const functions may run at once), so a callback must not wait
 * for another thread that saves the same map. A change racing with the
 * start of such a call remains the caller's error. */
#ifndef MAPGRAFT_H
#define MAPGRAFT_H

#include <stddef.h>
#include <stdint.h>

#define MG_VERSION_MAJOR 0
#define MG_VERSION_MINOR 1
#define MG_VERSION_PATCH 1
#define MG_VERSION_STRING "0.1.1"

#if defined(MG_STATIC)
#define MG_EXPORT
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(MG_BUILDING)
#define MG_EXPORT __declspec(dllexport)
#else
#define MG_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define MG_EXPORT __attribute__((visibility("default")))
#else
#define MG_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum mg_error {
  MG_OK = 0,
  MG_ERR_NOMEM = 1,        /* memory ran out */
  MG_ERR_ARGUMENT = 2,     /* a null pointer, an empty key or one holding '=', a bad options size,
                            * a flag bit this version does not know */
  MG_ERR_NOT_A_MAP = 3,    /* too short to be a map */
  MG_ERR_DAMAGED = 4,      /* damaged metadata, read without MG_READ_FORCE */
  MG_ERR_NO_CHUNK = 5,     /* a chunk index out of range */
  MG_ERR_NO_ATTR = 6,      /* no ATTR chunk of that key */
  MG_ERR_NO_TILESET = 7,   /* the map has no tileset of its own */
  MG_ERR_BAD_TILESET = 8,  /* not a bitmap that can be a map's tileset */
  MG_ERR_TOO_LARGE = 9,    /* past the format's limits */
  MG_ERR_IO = 10,          /* the reason is in errno, on Windows in GetLastError(), always set: EISDIR
                            * for a folder, EINVAL for a device or other file that is not regular */
  MG_ERR_CALLBACK = 11,    /* a write callback returned non-zero */
  MG_ERR_CHANGED = 12,     /* the file changed since it was read */
  MG_ERR_VERIFY = 13,      /* the file written does not read back as written */
  MG_ERR_EXISTS = 14,      /* MG_SAVE_NEW: the file exists */
  MG_ERR_BUSY = 15         /* MG_SAVE_NOWAIT: another edit holds the file */
};

enum mg_shape { MG_SHAPE_PLAIN = 0, MG_SHAPE_TILESET = 1, MG_SHAPE_EXTENDED = 2 };

/* mg_map_read flags. */
#define MG_READ_FORCE 1u  /* keep what a damaged map holds instead of MG_ERR_DAMAGED */
/* The programs' rule: refuse with MG_ERR_NOT_A_MAP a file that does not look
 * like a map (see mg_map_unlike_a_map). MG_READ_FORCE lifts it, as --force
 * does for mapgraft-edit. Without it a file of any size from 4 bytes on is
 * read, as a plain map if nothing else. */
#define MG_READ_STRICT 2u
/* Any other bit gives MG_ERR_ARGUMENT, so that later versions can add flags. */

/* mg_save_options flags. */
#define MG_SAVE_NEW 1u    /* create a new file, never replace one */
#define MG_SAVE_CHECK 2u  /* make every check possible without writing, write nothing */
#define MG_SAVE_ANYWAY 4u /* save even when the file changed since it was read */
#define MG_SAVE_NOWAIT 8u /* fail with MG_ERR_BUSY instead of waiting for another edit of the file */
/* Any other bit gives MG_ERR_ARGUMENT, and nothing is written. */

typedef struct mg_map mg_map;

typedef struct {
  unsigned char type[4];
  const unsigned char *data;
  size_t size;
} mg_chunk;

typedef int mg_write_fn(void *context, const void *data, size_t size);

typedef struct {
  size_t size;    /* sizeof(mg_save_options), so that the struct can grow */
  unsigned flags; /* MG_SAVE_* */
  /* What the new file could not keep, one line each, e.g.
   * "'a.lvl' now has mode 0640, not 2640"; may be NULL. */
  void (*warn)(void *context, const char *text);
  /* A temporary file is about to come into being (created 1: called just
   * before, so that a signal in between finds it) or is gone or was never
   * made (0), so that a program's signal handler can remove it; may be NULL.
   * Where the file stays without a name until it is complete (Linux's
   * O_TMPFILE), it is told of when it is named, just before the rename. */
  void (*temp)(void *context, const char *path, int created);
  void *context;
  /* A suffix such as "~" or ".orig" (a caller built against a header
   * without this field passes a smaller size and makes no backup): before
   * the file is replaced, the old one stays as
   * its name with the suffix (through a symbolic link: beside the file
   * linked to), by a hard link where the file system has them, else by a
   * flushed copy; an older backup is replaced. A backup name that is a
   * folder or a symbolic link, or one that cannot be made, fails the save
   * (MG_ERR_IO) before anything is replaced; MG_SAVE_CHECK checks it. Not
   * with MG_SAVE_NEW, which replaces nothing. NULL: no backup; an empty
   * suffix, or one holding a path separator, is MG_ERR_ARGUMENT. */
  const char *backup;
} mg_save_options;

/* A static, non-empty, lower-case text for any value; never NULL. */
MG_EXPORT const char *mg_strerror(int error);
/* The code's name as spelled here, e.g. "MG_ERR_DAMAGED"; "MG_ERR_UNKNOWN"
 * for a value that is not a code. Never NULL. */
MG_EXPORT const char *mg_error_name(int error);
/* The version the programs print. */
MG_EXPORT const char *mg_version(void);

/* Copies what it needs from data. On failure *map is NULL. */
MG_EXPORT int mg_map_read(const void *data, size_t size, unsigned flags, mg_map **map);
/* As mg_map_read, from a file (a UTF-8 path on Windows). The map remembers
 * the file, for the change check of mg_map_save_file. Only a regular file
 * is read, and nothing waits: anything else (a FIFO, a device) is
 * MG_ERR_IO with EINVAL, a folder MG_ERR_IO with EISDIR (Windows: a file
 * that is not on a disk, ERROR_INVALID_PARAMETER). A file that changes size
 * while it is read is MG_ERR_IO with EIO (ERROR_INTERNAL_ERROR), never a map
 * of part of it. */
MG_EXPORT int mg_map_read_file(const char *path, unsigned flags, mg_map **map);
MG_EXPORT void mg_map_free(mg_map *map);

/* An mg_shape: the shape as read. */
MG_EXPORT int mg_map_shape(const mg_map *map);
/* NULL, or the text of the first damage found. */
MG_EXPORT const char *mg_map_damage(const mg_map *map);
/* NULL, or why the bytes read do not look like a map, in the programs' words:
 * "no bitmap, no metadata block, and 23 bytes are not whole 4-byte tiles". */
MG_EXPORT const char *mg_map_unlike_a_map(const mg_map *map);
/* Why the last change to map failed, in the programs' words (for example
 * "key 'A=B' is empty or holds '='" or "not a bitmap: it does not start with
 * 'BM'"), or "" after a change that succeeded or before any. Set by the
 * mg_map_* calls that change the map. */
MG_EXPORT const char *mg_map_errmsg(const mg_map *map);
MG_EXPORT size_t mg_map_chunk_count(const mg_map *map);
MG_EXPORT int mg_map_chunk(const mg_map *map, size_t index, mg_chunk *chunk);
/* The map's own tileset bitmap, or MG_ERR_NO_TILESET. */
MG_EXPORT int mg_map_tileset(const mg_map *map, const unsigned char **data, size_t *size);
MG_EXPORT int mg_map_tiles(const mg_map *map, const unsigned char **data, size_t *size);
/* The bytes after "key=" of the first ATTR chunk of that key; not
 * NUL-terminated. */
MG_EXPORT int mg_map_get_attr(const mg_map *map, const char *key, const unsigned char **value, size_t *size);

/* Each change is all-or-nothing. Indexes are current positions.
 * mg_map_add_chunk, and mg_map_set_attr of a key without a chunk or whose
 * one chunk's new record takes the room of its old one, cost the same
 * however many chunks the map holds; removals, replacements, unsetting and
 * a set that resizes a record cost time in proportion to the map. */
MG_EXPORT int mg_map_add_chunk(mg_map *map, const char type[4], const void *data, size_t size);
MG_EXPORT int mg_map_remove_chunk(mg_map *map, size_t index);
MG_EXPORT int mg_map_replace_chunk(mg_map *map, size_t index, const void *data, size_t size);
MG_EXPORT int mg_map_set_attr(mg_map *map, const char *key, const char *value);
MG_EXPORT int mg_map_unset_attr(mg_map *map, const char *key);
MG_EXPORT int mg_map_set_tileset(mg_map *map, const void *bitmap, size_t size);

MG_EXPORT int mg_map_written_size(const mg_map *map, uint64_t *size);
/* Writes the map in the extended shape through write; a non-zero return
 * from it stops the write with MG_ERR_CALLBACK. See above for the calls
 * write may make. */
MG_EXPORT int mg_map_write(const mg_map *map, mg_write_fn *write, void *context);
/* Replaces path safely: a temporary file beside it, flushed, read back and
 * compared, then renamed over it; owner, group, mode, ACL and attributes are
 * kept where they can be. options may be NULL. A map read by
 * mg_map_read_file refuses to replace its file once that has changed or
 * another file has been put in its place (MG_ERR_CHANGED), whatever path
 * names it, unless MG_SAVE_ANYWAY; the file saved becomes its origin.
 * The file replaced is locked from the check to the rename with the lock
 * mapgraft-edit takes (flock on POSIX systems, which other programs may
 * ignore), so that a save and a program's edit of one map never lose either
 * change: the save waits while another edit holds the file (on Windows, and
 * with MG_SAVE_NOWAIT, it fails with MG_ERR_BUSY at once). */
MG_EXPORT int mg_map_save_file(const mg_map *map, const char *path, const mg_save_options *options);

/* Many maps saved together, each as mg_map_save_file would save it alone and
 * with the same promise, for less than saving them one after another: on
 * Linux mg_batch_add writes the map's temporary file, reads it back and
 * compares it at once; once 64 maps are added, and at mg_batch_save, the file
 * system is written out once (syncfs), their files are flushed side by side
 * (each its own flush, so that a write error lands on its map), renamed over
 * their maps in the order added, and each folder flushed once, that flush
 * going on while the next 64 are added. Elsewhere the maps are saved one
 * after another. A map's failure is its own: the others are saved. Each file
 * is locked as mg_map_save_file locks it, and a batch never waits for a lock
 * while it holds others. */
typedef struct mg_batch mg_batch;
/* On failure *batch is NULL. */
MG_EXPORT int mg_batch_new(mg_batch **batch);
/* Maps not saved yet are dropped, with their temporary files. */
MG_EXPORT void mg_batch_free(mg_batch *batch);
/* Adds map, to be saved at path with options (NULL, or as for
 * mg_map_save_file; copied, with path). map must stay as it is, and its
 * options' context valid, until mg_batch_save returns. Refuses what
 * mg_map_save_file refuses before it writes (MG_ERR_ARGUMENT), adding
 * nothing. The maps are numbered from 0 in the order added. */
MG_EXPORT int mg_batch_add(mg_batch *batch, const mg_map *map, const char *path, const mg_save_options *options);
/* Finishes the maps added since the last mg_batch_save. MG_OK when each of them
 * was saved; else the code of the first that failed (MG_ERR_IO with its
 * reason in errno, on Windows in GetLastError()), and each map's own code is
 * mg_batch_result's. A map's warn callback is called once it is saved, in the
 * order added. */
MG_EXPORT int mg_batch_save(mg_batch *batch);
/* The maps added so far. */
MG_EXPORT size_t mg_batch_count(const mg_batch *batch);
/* Map number index's outcome: MG_OK (also before it is saved) or its failure,
 * MG_ERR_IO leaving its reason in errno (on Windows GetLastError()) as if its
 * save had just failed. MG_ERR_ARGUMENT for an index past the maps added. */
MG_EXPORT int mg_batch_result(const mg_batch *batch, size_t index);

#ifdef __cplusplus
}
#endif

#endif
