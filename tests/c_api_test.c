/* Drives libmapgraft through its C interface only, as outside code would. */
#define _POSIX_C_SOURCE 200809L
#include <ctype.h>
#include <stddef.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "c_check.h"
#include "mapgraft.h"

static char folder[] = "/tmp/mg_c_api_XXXXXX";

typedef struct {
  unsigned char bytes[1 << 16];
  size_t size;
} buffer;

static int append(void *context, const void *data, size_t size) {
  buffer *b = context;
  if (size > sizeof b->bytes - b->size) return 1;
  memcpy(b->bytes + b->size, data, size);
  b->size += size;
  return 0;
}

static int refuse(void *context, const void *data, size_t size) {
  (void)context, (void)data, (void)size;
  return 7;
}

static void written(const mg_map *map, buffer *b) {
  uint64_t size = 0;
  b->size = 0;
  CHECK(mg_map_write(map, append, b) == MG_OK);
  CHECK(mg_map_written_size(map, &size) == MG_OK && size == b->size);
}

static const char *path_of(const char *name) {
  static char paths[8][256];
  static int next = 0;
  char *path = paths[next++ % 8];
  snprintf(path, 256, "%s/%s", folder, name);
  return path;
}

static void put_file(const char *name, const void *data, size_t size) {
  FILE *f = fopen(path_of(name), "wb");
  CHECK(f != NULL && fwrite(data, 1, size, f) == size);
  if (f != NULL) fclose(f);
}

static size_t get_file(const char *name, buffer *b) {
  FILE *f = fopen(path_of(name), "rb");
  b->size = f != NULL ? fread(b->bytes, 1, sizeof b->bytes, f) : 0;
  if (f != NULL) fclose(f);
  return b->size;
}

/* A small bitmap: "BM", its size, reserved 0, and a 40-byte info header. */
static void make_bitmap(unsigned char *bmp, unsigned size, unsigned declared) {
  memset(bmp, 0, size);
  bmp[0] = 'B', bmp[1] = 'M';
  bmp[2] = declared & 0xFF, bmp[3] = (declared >> 8) & 0xFF, bmp[4] = (declared >> 16) & 0xFF;
  bmp[14] = 40, bmp[18] = 2, bmp[22] = 2, bmp[28] = 8;
}

static void test_texts(void) {
  int code;
  for (code = -2; code <= MG_ERR_BUSY + 2; ++code) {
    const char *text = mg_strerror(code);
    CHECK(text != NULL && text[0] != '\0' && !isupper((unsigned char)text[0]));
    if (code > MG_ERR_BUSY || code < 0) CHECK(strcmp(text, "unknown error") == 0);
    if (code >= 0 && code < MG_ERR_BUSY) CHECK(strcmp(text, mg_strerror(code + 1)) != 0);
  }
  CHECK(strcmp(mg_version(), MG_VERSION_STRING) == 0);
}

static void test_reading(void) {
  static unsigned char tileset_map[48 + 8], extended[1 << 16], damaged[1 << 16];
  buffer out;
  mg_map *map = NULL;
  size_t size = 0;
  const unsigned char *data = NULL;
  struct {
    const void *bytes;
    size_t size;
    unsigned flags;
    int result, shape;
    size_t chunks;
  } cases[] = {
      {"ABCDEFGH", 8, 0, MG_OK, MG_SHAPE_PLAIN, 0},
      {"ABCDE", 5, 0, MG_OK, MG_SHAPE_PLAIN, 0}, /* not whole tiles: still a plain map */
      {"ABC", 3, 0, MG_ERR_NOT_A_MAP, 0, 0},
      {"", 0, 0, MG_ERR_NOT_A_MAP, 0, 0},
      {tileset_map, sizeof tileset_map, 0, MG_OK, MG_SHAPE_TILESET, 0},
      {extended, 0, 0, MG_OK, MG_SHAPE_EXTENDED, 2},
      {damaged, 0, 0, MG_ERR_DAMAGED, 0, 0},
      {damaged, 0, MG_READ_FORCE, MG_OK, MG_SHAPE_EXTENDED, 1},
  };
  size_t i;
  make_bitmap(tileset_map, 48, 48);
  memcpy(tileset_map + 48, "TILEtile", 8);

  CHECK(mg_map_read("ABCDEFGH", 8, 0, &map) == MG_OK);
  CHECK(mg_map_add_chunk(map, "ATTR", "a=1", 3) == MG_OK && mg_map_add_chunk(map, "TXT", "hello", 5) == MG_OK);
  written(map, &out);
  mg_map_free(map);
  memcpy(extended, out.bytes, out.size);
  cases[5].size = out.size;
  /* The last chunk's length runs past the metadata block. */
  memcpy(damaged, out.bytes, out.size);
  damaged[out.size - 8 - 12] = 200;
  cases[6].size = cases[7].size = out.size;

  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    map = (mg_map *)1;
    CHECK(mg_map_read(cases[i].bytes, cases[i].size, cases[i].flags, &map) == cases[i].result);
    if (cases[i].result != MG_OK) {
      CHECK(map == NULL);
      continue;
    }
    CHECK(mg_map_shape(map) == cases[i].shape);
    CHECK(mg_map_chunk_count(map) == cases[i].chunks);
    CHECK((mg_map_damage(map) != NULL) == (cases[i].flags == MG_READ_FORCE));
    CHECK((mg_map_tileset(map, &data, &size) == MG_OK) == (cases[i].shape != MG_SHAPE_PLAIN));
    mg_map_free(map);
  }

  CHECK(mg_map_read(damaged, out.size, MG_READ_FORCE, &map) == MG_OK);
  CHECK(strcmp(mg_map_damage(map), "buffer overflow detected near chunk 1") == 0);
  mg_map_free(map);
  CHECK(mg_map_read(tileset_map, sizeof tileset_map, 0, &map) == MG_OK);
  CHECK(mg_map_tileset(map, &data, &size) == MG_OK && size == 48 && memcmp(data, tileset_map, 48) == 0);
  CHECK(mg_map_tiles(map, &data, &size) == MG_OK && size == 8 && memcmp(data, "TILEtile", 8) == 0);
  mg_map_free(map);
  mg_map_free(NULL);
}

/* Each change, its refusals, and the bytes: the same as mapgraft-edit -o. */
static void test_changes(void) {
  static unsigned char bitmap[64], too_large[70000];
  buffer before, after, program;
  mg_save_options create = {sizeof(mg_save_options), MG_SAVE_NEW, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  const unsigned char *value = NULL;
  size_t size = 0;
  mg_chunk chunk;
  char command[1024];
  make_bitmap(bitmap, sizeof bitmap, sizeof bitmap);
  make_bitmap(too_large, sizeof too_large, sizeof too_large);
  put_file("bitmap.bmp", bitmap, sizeof bitmap);
  put_file("data.bin", "payload", 7);
  CHECK(mg_map_read("ABCDEFGHIJKL", 12, 0, &map) == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "zero") == MG_OK && mg_map_add_chunk(map, "GONE", "x", 1) == MG_OK);
  CHECK(mg_map_add_chunk(map, "DATA", "old", 3) == MG_OK);
  CHECK(mg_map_save_file(map, path_of("source.lvl"), &create) == MG_OK);
  mg_map_free(map);

  /* Indexes are current positions here, and positions as read there. */
  CHECK(mg_map_read_file(path_of("source.lvl"), 0, &map) == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "one") == MG_OK && mg_map_remove_chunk(map, 1) == MG_OK);
  CHECK(mg_map_replace_chunk(map, 1, "payload", 7) == MG_OK && mg_map_add_chunk(map, "TEXT", "payload", 7) == MG_OK);
  CHECK(mg_map_set_attr(map, "KEY", "v") == MG_OK && mg_map_unset_attr(map, "KEY") == MG_OK);
  CHECK(mg_map_set_tileset(map, bitmap, sizeof bitmap) == MG_OK);
  CHECK(mg_map_get_attr(map, "NAME", &value, &size) == MG_OK && size == 3 && memcmp(value, "one", 3) == 0);
  CHECK(mg_map_get_attr(map, "KEY", &value, &size) == MG_ERR_NO_ATTR);
  CHECK(mg_map_chunk_count(map) == 3 && mg_map_chunk(map, 1, &chunk) == MG_OK);
  CHECK(memcmp(chunk.type, "DATA", 4) == 0 && chunk.size == 7 && memcmp(chunk.data, "payload", 7) == 0);
  written(map, &before);
  snprintf(command, sizeof command,
           "'%s' -q --set NAME=one --remove 1 --replace 2 %s --add TEXT %s --set KEY=v --unset KEY "
           "--tileset %s -o %s %s",
           MAPGRAFT_EDIT_EXE, path_of("data.bin"), path_of("data.bin"), path_of("bitmap.bmp"), path_of("edited.lvl"),
           path_of("source.lvl"));
  CHECK(system(command) == 0);
  CHECK(get_file("edited.lvl", &program) == before.size && memcmp(program.bytes, before.bytes, before.size) == 0);

  /* Refused changes leave the map as it was. */
  CHECK(mg_map_remove_chunk(map, 3) == MG_ERR_NO_CHUNK);
  CHECK(mg_map_replace_chunk(map, 9, "x", 1) == MG_ERR_NO_CHUNK);
  CHECK(mg_map_chunk(map, 3, &chunk) == MG_ERR_NO_CHUNK);
  CHECK(mg_map_set_attr(map, "", "v") == MG_ERR_ARGUMENT && mg_map_set_attr(map, "a=b", "v") == MG_ERR_ARGUMENT);
  CHECK(mg_map_unset_attr(map, "a=b") == MG_ERR_ARGUMENT && mg_map_add_chunk(map, NULL, "x", 1) == MG_ERR_ARGUMENT);
  CHECK(mg_map_set_tileset(map, "GIF89a", 6) == MG_ERR_BAD_TILESET);
  CHECK(mg_map_set_tileset(map, too_large, sizeof too_large) == MG_ERR_TOO_LARGE);
  CHECK(mg_map_write(map, refuse, NULL) == MG_ERR_CALLBACK);
  written(map, &after);
  CHECK(after.size == before.size && memcmp(after.bytes, before.bytes, before.size) == 0);
  mg_map_free(map);
}

static int temps_created, temps_gone, warnings;
static void on_temp(void *context, const char *path, int created) {
  (void)context;
  CHECK(strstr(path, ".mapgraft-") != NULL);
  if (created) ++temps_created;
  else ++temps_gone;
}
static void on_warn(void *context, const char *text) {
  (void)context, (void)text;
  ++warnings;
}

static void test_saving(void) {
  mg_save_options options = {sizeof(mg_save_options), 0, on_warn, on_temp, NULL, NULL};
  buffer meant, file;
  mg_map *map = NULL;
  struct {
    const char *name;
    unsigned flags;
    int result;
    int exists_after;
  } cases[] = {
      {"new.lvl", MG_SAVE_NEW | MG_SAVE_CHECK, MG_OK, 0},
      {"new.lvl", MG_SAVE_NEW, MG_OK, 1},
      {"new.lvl", MG_SAVE_NEW, MG_ERR_EXISTS, 1},
      {"new.lvl", MG_SAVE_NEW | MG_SAVE_CHECK, MG_ERR_EXISTS, 1},
      {"missing/new.lvl", MG_SAVE_NEW, MG_ERR_IO, 0},
      {"map.lvl", MG_SAVE_CHECK, MG_OK, 1},
      {"map.lvl", 0, MG_OK, 1},
      {"map.lvl", 0, MG_OK, 1}, /* the saved file is the map's origin now */
  };
  size_t i;
  put_file("map.lvl", "ABCDEFGH", 8);
  CHECK(mg_map_read_file(path_of("map.lvl"), 0, &map) == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "saved") == MG_OK);
  written(map, &meant);
  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    options.flags = cases[i].flags;
    CHECK(mg_map_save_file(map, path_of(cases[i].name), &options) == cases[i].result);
    CHECK((access(path_of(cases[i].name), F_OK) == 0) == cases[i].exists_after);
    if (cases[i].result == MG_OK && (cases[i].flags & MG_SAVE_CHECK) == 0)
      CHECK(get_file(cases[i].name, &file) == meant.size && memcmp(file.bytes, meant.bytes, meant.size) == 0);
  }
  /* The missing folder's temporary file is announced, then never made. A
   * temporary file without a name (O_TMPFILE) is announced only when it is
   * named, and a new file's never is: 3 there, 4 elsewhere. */
  CHECK(temps_created >= 3 && temps_created <= 4 && temps_gone == temps_created && warnings == 0);

  /* Someone else changed the file: refused unless the caller says so. */
  put_file("map.lvl", "changed!", 8);
  CHECK(mg_map_save_file(map, path_of("map.lvl"), NULL) == MG_ERR_CHANGED);
  CHECK(get_file("map.lvl", &file) == 8 && memcmp(file.bytes, "changed!", 8) == 0);
  options.flags = MG_SAVE_ANYWAY;
  CHECK(mg_map_save_file(map, path_of("map.lvl"), &options) == MG_OK);
  CHECK(get_file("map.lvl", &file) == meant.size);
  options.size = sizeof options - 1;
  CHECK(mg_map_save_file(map, path_of("map.lvl"), &options) == MG_ERR_ARGUMENT);
  mg_map_free(map);

  errno = 0;
  CHECK(mg_map_read_file(path_of("absent.lvl"), 0, &map) == MG_ERR_IO && errno == ENOENT && map == NULL);
}

/* The file is the same however the path to it is spelled: another edit's
 * replacement is found whether the save names it so or otherwise. */
static void test_changed_by_any_name(void) {
  static const struct {
    const char *read, *save;
  } cases[] = {{"spelt.lvl", "spelt.lvl"}, {"spelt.lvl", "./spelt.lvl"}, {"spelt.lvl", ".//spelt.lvl"},
               {"spelt-link.lvl", "spelt.lvl"}, {"spelt.lvl", "spelt-link.lvl"}};
  mg_map *map = NULL;
  char command[600];
  size_t i;
  CHECK(symlink("spelt.lvl", path_of("spelt-link.lvl")) == 0);
  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    put_file("spelt.lvl", "ABCDEFGH", 8);
    CHECK(mg_map_read_file(path_of(cases[i].read), 0, &map) == MG_OK);
    CHECK(mg_map_set_attr(map, "NAME", "library") == MG_OK);
    snprintf(command, sizeof command, "'%s' -q --set OTHER=edit '%s'", MAPGRAFT_EDIT_EXE, path_of("spelt.lvl"));
    CHECK(system(command) == 0);
    CHECK(mg_map_save_file(map, path_of(cases[i].save), NULL) == MG_ERR_CHANGED);
    mg_map_free(map);
  }
}

/* A save holds the lock mapgraft-edit takes: while another edit holds the
 * file it waits, then finds that edit's change, or with MG_SAVE_NOWAIT it
 * gives up at once. */
static void test_save_waits_for_an_edit(void) {
  mg_save_options options = {sizeof(mg_save_options), MG_SAVE_NOWAIT, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  buffer file;
  int ready[2], status = 0;
  char sign = 0;
  pid_t editor;
  put_file("held.lvl", "ABCDEFGH", 8);
  CHECK(mg_map_read_file(path_of("held.lvl"), 0, &map) == MG_OK && pipe(ready) == 0);
  editor = fork();
  if (editor == 0) {
    const struct timespec pause = {0, 300000000};
    int fd = open(path_of("held.lvl"), O_RDWR);
    if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], "!", 1) != 1) _exit(1);
    nanosleep(&pause, NULL);
    _exit(pwrite(fd, "edited!!", 8, 0) == 8 ? 0 : 1);
  }
  CHECK(editor > 0 && read(ready[0], &sign, 1) == 1);
  errno = 0;
  CHECK(mg_map_save_file(map, path_of("held.lvl"), &options) == MG_ERR_BUSY);
  CHECK(mg_map_save_file(map, path_of("held.lvl"), NULL) == MG_ERR_CHANGED);
  CHECK(waitpid(editor, &status, 0) == editor && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  CHECK(get_file("held.lvl", &file) == 8 && memcmp(file.bytes, "edited!!", 8) == 0);
  close(ready[0]), close(ready[1]);
  mg_map_free(map);
}

/* The old file stays as the backup, the very file; a name that cannot take
 * it fails the save before anything is replaced. */
static void test_backups(void) {
  static const struct {
    const char *suffix;
    unsigned flags;
    int result, error, replaced;
  } cases[] = {{"~", 0, MG_OK, 0, 1},           {".orig", 0, MG_OK, 0, 1},   {"~", 0, MG_OK, 0, 1},
               {".dir", 0, MG_ERR_IO, EISDIR, 0}, {".dir", MG_SAVE_CHECK, MG_ERR_IO, EISDIR, 0},
               {".link", 0, MG_ERR_IO, ELOOP, 0}, {"", 0, MG_ERR_ARGUMENT, 0, 0}, {"/x", 0, MG_ERR_ARGUMENT, 0, 0}};
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  struct stat before, after, kept;
  char value[8], backup[40];
  size_t i;
  put_file("kept.lvl", "ABCDEFGH", 8);
  CHECK(mkdir(path_of("kept.lvl.dir"), 0700) == 0 && symlink("kept.lvl", path_of("kept.lvl.link")) == 0);
  CHECK(mg_map_read_file(path_of("kept.lvl"), 0, &map) == MG_OK);
  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    snprintf(value, sizeof value, "%d", (int)i);
    snprintf(backup, sizeof backup, "kept.lvl%s", cases[i].suffix);
    CHECK(mg_map_set_attr(map, "NAME", value) == MG_OK && stat(path_of("kept.lvl"), &before) == 0);
    options.flags = cases[i].flags;
    options.backup = cases[i].suffix;
    errno = 0;
    CHECK(mg_map_save_file(map, path_of("kept.lvl"), &options) == cases[i].result);
    CHECK(cases[i].error == 0 || errno == cases[i].error);
    CHECK(stat(path_of("kept.lvl"), &after) == 0 && (after.st_ino != before.st_ino) == cases[i].replaced);
    if (cases[i].replaced)
      CHECK(lstat(path_of(backup), &kept) == 0 && kept.st_ino == before.st_ino && kept.st_nlink == 1);
  }
  /* A caller built before the field knows nothing of backups. */
  options.size = offsetof(mg_save_options, backup);
  options.flags = 0;
  CHECK(unlink(path_of("kept.lvl~")) == 0);
  CHECK(mg_map_save_file(map, path_of("kept.lvl"), &options) == MG_OK && access(path_of("kept.lvl~"), F_OK) != 0);
  mg_map_free(map);
}

/* Every MG_ERR_IO leaves its reason in errno, a target that is no file too;
 * a copy of a map whose file is gone takes a new file's mode, as the check
 * says it may. */
static void test_io_reasons(void) {
  static const struct {
    const char *path;
    unsigned flags;
    int result, error;
  } cases[] = {{"/tmp", 0, MG_ERR_IO, EISDIR},      {"/tmp/", MG_SAVE_CHECK, MG_ERR_IO, EISDIR},
               {"/dev/null", 0, MG_ERR_IO, EINVAL}, {"/dev/full", MG_SAVE_CHECK, MG_ERR_IO, EINVAL},
               {"/dev/full", 0, MG_ERR_IO, EINVAL}, {"gone-copy.lvl", MG_SAVE_NEW | MG_SAVE_CHECK, MG_OK, 0},
               {"gone-copy.lvl", MG_SAVE_NEW, MG_OK, 0}};
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  struct stat info;
  size_t i;
  const mode_t mask = umask(022);
  put_file("gone.lvl", "ABCDEFGH", 8);
  CHECK(chmod(path_of("gone.lvl"), 0600) == 0 && mg_map_read_file(path_of("gone.lvl"), 0, &map) == MG_OK);
  CHECK(unlink(path_of("gone.lvl")) == 0);
  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    options.flags = cases[i].flags;
    errno = 0;
    CHECK(mg_map_save_file(map, cases[i].path[0] == '/' ? cases[i].path : path_of(cases[i].path), &options) ==
              cases[i].result && (cases[i].error == 0 || errno == cases[i].error));
  }
  CHECK(stat(path_of("gone-copy.lvl"), &info) == 0 && (info.st_mode & 07777) == 0644);
  umask(mask);
  mg_map_free(map);
}

/* Changes one at a time, in place or appended, give the program's bytes, and
 * each costs the same however many chunks are there. */
static void test_many_changes(void) {
  static buffer mine, program;
  mg_map *map = NULL;
  const unsigned char *value = NULL;
  size_t size = 0;
  char command[1024], key[32];
  clock_t start;
  int i;
  put_file("k.txt", "K=x", 3);
  CHECK(mg_map_read_file(path_of("source.lvl"), 0, &map) == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "one") == MG_OK && mg_map_set_attr(map, "NAME", "two") == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "two") == MG_OK && mg_map_set_attr(map, "NEW", "1") == MG_OK);
  CHECK(mg_map_add_chunk(map, "ATTR", "K=x", 3) == MG_OK && mg_map_set_attr(map, "K", "y") == MG_OK);
  written(map, &mine);
  snprintf(command, sizeof command, "'%s' -q --set NAME=one --set NAME=two --set NEW=1 --add ATTR %s --set K=y -o %s %s",
           MAPGRAFT_EDIT_EXE, path_of("k.txt"), path_of("many.lvl"), path_of("source.lvl"));
  CHECK(system(command) == 0);
  CHECK(get_file("many.lvl", &program) == mine.size && memcmp(program.bytes, mine.bytes, mine.size) == 0);
  mg_map_free(map);
  /* Quadratic, these took seconds; linear, milliseconds. */
  CHECK(mg_map_read("ABCDEFGH", 8, 0, &map) == MG_OK);
  start = clock();
  for (i = 0; i < 40000; ++i) CHECK(mg_map_add_chunk(map, "DATA", "abc", 3) == MG_OK);
  for (i = 0; i < 10000 && snprintf(key, sizeof key, "K%d", i) > 0; ++i) CHECK(mg_map_set_attr(map, key, "v") == MG_OK);
  CHECK((double)(clock() - start) / CLOCKS_PER_SEC < 2.0);
  CHECK(mg_map_chunk_count(map) == 50000 && mg_map_get_attr(map, "K9999", &value, &size) == MG_OK);
  mg_map_free(map);
}

/* A callback that calls back into the map whose call called it is refused,
 * and the map is untouched; queries and other maps are fine. */
typedef struct {
  mg_map *map, *other;
  int call, result, calls;
} reentry;

static int reenter(reentry *r) {
  static buffer out;
  uint64_t size = 0;
  CHECK(++r->calls == 1 && mg_map_chunk_count(r->map) == 2 && mg_map_written_size(r->map, &size) == MG_OK);
  CHECK(mg_map_add_chunk(r->other, "OTHR", "x", 1) == MG_OK);
  switch (r->call) {
    case 0: return mg_map_remove_chunk(r->map, 0);
    case 1: return mg_map_add_chunk(r->map, "MORE", "x", 1);
    case 2: return mg_map_set_attr(r->map, "NAME", "again");
    case 3: return mg_map_write(r->map, append, &out);
    case 4: return mg_map_save_file(r->map, path_of("again.lvl"), NULL);
  }
  mg_map_free(r->map);
  return MG_ERR_ARGUMENT;
}

static int write_reentering(void *context, const void *data, size_t size) {
  reentry *r = context;
  (void)data, (void)size;
  if (r->calls == 0) r->result = reenter(r);
  return 0;
}

static void temp_reentering(void *context, const char *path, int created) {
  (void)path;
  if (created) ((reentry *)context)->result = reenter(context);
}

static void test_callbacks_calling_back(void) {
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, temp_reentering, NULL, NULL};
  buffer before, after;
  reentry r;
  int call;
  for (call = 0; call < 12; ++call) {
    memset(&r, 0, sizeof r);
    r.call = call % 6, options.context = &r;
    CHECK(mg_map_read("ABCDEFGH", 8, 0, &r.map) == MG_OK && mg_map_read("ABCDEFGH", 8, 0, &r.other) == MG_OK);
    CHECK(mg_map_set_attr(r.map, "NAME", "x") == MG_OK && mg_map_add_chunk(r.map, "DATA", "d", 1) == MG_OK);
    written(r.map, &before);
    put_file("reentered.lvl", "ABCDEFGH", 8);
    if (call < 6) CHECK(mg_map_write(r.map, write_reentering, &r) == MG_OK);
    else CHECK(mg_map_save_file(r.map, path_of("reentered.lvl"), &options) == MG_OK);
    written(r.map, &after);
    CHECK(r.result == MG_ERR_ARGUMENT && after.size == before.size && memcmp(after.bytes, before.bytes, before.size) == 0);
    CHECK(access(path_of("again.lvl"), F_OK) != 0 && mg_map_add_chunk(r.map, "MORE", "x", 1) == MG_OK);
    mg_map_free(r.map);
    mg_map_free(r.other);
  }
}

/* What is not a regular file is refused at once, without waiting for a
 * writer that never comes; so is a file that holds more than its size says,
 * as one that grows while it is read does. */
static void test_not_regular_files(void) {
  mg_map *map = (mg_map *)1;
  CHECK(mkfifo(path_of("fifo"), 0600) == 0 && mkdir(path_of("folder"), 0700) == 0);
  CHECK(mg_map_read_file(path_of("fifo"), 0, &map) == MG_ERR_IO && errno == EINVAL && map == NULL);
  CHECK(mg_map_read_file(path_of("folder"), 0, &map) == MG_ERR_IO && errno == EISDIR && map == NULL);
#ifdef __linux__
  CHECK(mg_map_read_file("/proc/self/status", 0, &map) == MG_ERR_IO && errno == EIO && map == NULL);
#endif
}

/* A batch saves each map as mg_map_save_file would; a map's failure is its own. */
static void test_batch(void) {
  static const struct {
    const char *name, *path;
    unsigned flags;
    int changed_meanwhile, result, error;
    const char *backup;
  } cases[] = {
      {"b0.lvl", "b0.lvl", 0, 0, MG_OK, 0, NULL},
      {"b1.lvl", "b1.lvl", 0, 1, MG_ERR_CHANGED, 0, NULL},
      {"b2.lvl", "missing/b2.lvl", MG_SAVE_NEW, 0, MG_ERR_IO, ENOENT, NULL},
      {"b3.lvl", "b0.lvl", MG_SAVE_NEW, 0, MG_ERR_EXISTS, 0, NULL},
      {"b4.lvl", "b4-new.lvl", MG_SAVE_NEW, 0, MG_OK, 0, NULL},
      {"b5.lvl", "b5.lvl", 0, 0, MG_OK, 0, "~"},
      {"b6.lvl", "b6.lvl", 0, 0, MG_ERR_IO, EISDIR, ".dir"},
  };
  enum { count = sizeof cases / sizeof *cases };
  mg_map *maps[count];
  mg_batch *batch = NULL;
  buffer meant, file;
  size_t i;
  CHECK(mg_batch_new(&batch) == MG_OK && batch != NULL);
  for (i = 0; i < count; ++i) {
    mg_save_options options = {sizeof(mg_save_options), cases[i].flags, NULL, NULL, NULL, cases[i].backup};
    put_file(cases[i].name, "ABCDEFGH", 8);
    if (cases[i].error == EISDIR) CHECK(mkdir(path_of("b6.lvl.dir"), 0700) == 0);
    CHECK(mg_map_read_file(path_of(cases[i].name), 0, &maps[i]) == MG_OK);
    CHECK(mg_map_set_attr(maps[i], "NAME", cases[i].name) == MG_OK);
    if (cases[i].changed_meanwhile) put_file(cases[i].name, "changed!", 8);
    CHECK(mg_batch_add(batch, maps[i], path_of(cases[i].path), &options) == MG_OK);
  }
  CHECK(mg_batch_add(batch, maps[0], "", NULL) == MG_ERR_ARGUMENT && mg_batch_count(batch) == count);
  CHECK(mg_batch_save(batch) == MG_ERR_CHANGED);
  for (i = 0; i < count; ++i) {
    errno = 0;
    CHECK(mg_batch_result(batch, i) == cases[i].result && (cases[i].error == 0 || errno == cases[i].error));
    written(maps[i], &meant);
    if (cases[i].result == MG_OK)
      CHECK(get_file(cases[i].path, &file) == meant.size && memcmp(file.bytes, meant.bytes, meant.size) == 0);
    mg_map_free(maps[i]);
  }
  CHECK(get_file("b1.lvl", &file) == 8 && memcmp(file.bytes, "changed!", 8) == 0);
  CHECK(get_file("b5.lvl~", &file) == 8 && memcmp(file.bytes, "ABCDEFGH", 8) == 0);
  CHECK(get_file("b6.lvl", &file) == 8 && memcmp(file.bytes, "ABCDEFGH", 8) == 0);
  CHECK(mg_batch_result(batch, count) == MG_ERR_ARGUMENT && mg_batch_save(batch) == MG_OK);
  mg_batch_free(batch);
}

/* A flag bit this version does not know is refused before anything is read
 * or written, so that later versions can give it a meaning. */
static void test_unknown_flags(void) {
  static const struct {
    unsigned read, save;
  } cases[] = {{4u, 16u}, {MG_READ_FORCE | 8u, MG_SAVE_NEW | 32u}, {0xffffffffu, 0xfffffff0u}};
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, NULL, NULL, NULL};
  mg_map *map = NULL, *refused = NULL;
  buffer file;
  size_t i;
  put_file("flags.lvl", "ABCDEFGH", 8);
  CHECK(mg_map_read_file(path_of("flags.lvl"), MG_READ_FORCE | MG_READ_STRICT, &map) == MG_OK);
  CHECK(mg_map_set_attr(map, "NAME", "flags") == MG_OK);
  for (i = 0; i < sizeof cases / sizeof *cases; ++i) {
    CHECK(mg_map_read("ABCDEFGH", 8, cases[i].read, &refused) == MG_ERR_ARGUMENT && refused == NULL);
    CHECK(mg_map_read_file(path_of("flags.lvl"), cases[i].read, &refused) == MG_ERR_ARGUMENT && refused == NULL);
    options.flags = cases[i].save;
    CHECK(mg_map_save_file(map, path_of("flags.lvl"), &options) == MG_ERR_ARGUMENT);
  }
  CHECK(get_file("flags.lvl", &file) == 8 && memcmp(file.bytes, "ABCDEFGH", 8) == 0);
  mg_map_free(map);
}

/* A new file's group bits are those of an ACL's group entry, not its mask. */
static void test_new_file_of_acl_map(void) {
  mg_save_options options = {sizeof(mg_save_options), MG_SAVE_NEW, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  struct stat info;
  char command[400];
  put_file("acl.lvl", "ABCDEFGH", 8);
  CHECK(chmod(path_of("acl.lvl"), 0640) == 0);
  snprintf(command, sizeof command, "setfacl -m u:daemon:rw '%s' 2>/dev/null", path_of("acl.lvl"));
  if (system(command) != 0) return; /* no setfacl, or a file system without ACLs */
  CHECK(mg_map_read_file(path_of("acl.lvl"), 0, &map) == MG_OK);
  CHECK(mg_map_save_file(map, path_of("acl-copy.lvl"), &options) == MG_OK);
  CHECK(stat(path_of("acl-copy.lvl"), &info) == 0 && (info.st_mode & 07777) == 0640);
  mg_map_free(map);
}

/* The programs' rule and words, as the library gives them. */
static void test_reasons(void) {
  static const char notes[] = "hello world";
  mg_map *map = NULL;
  CHECK(mg_map_read(notes, 11, MG_READ_STRICT, &map) == MG_ERR_NOT_A_MAP && map == NULL);
  CHECK(mg_map_read(notes, 11, MG_READ_STRICT | MG_READ_FORCE, &map) == MG_OK);
  CHECK(mg_map_unlike_a_map(map) != NULL &&
        strcmp(mg_map_unlike_a_map(map), "no bitmap, no metadata block, and 11 bytes are not whole 4-byte tiles") == 0);
  CHECK(strcmp(mg_map_errmsg(map), "") == 0);
  CHECK(mg_map_set_attr(map, "A=B", "x") == MG_ERR_ARGUMENT);
  CHECK(strcmp(mg_map_errmsg(map), "key 'A=B' is empty or holds '='") == 0);
  CHECK(mg_map_set_tileset(map, "hello", 5) == MG_ERR_BAD_TILESET);
  CHECK(strcmp(mg_map_errmsg(map), "not a bitmap: it does not start with 'BM'") == 0);
  CHECK(mg_map_set_attr(map, "A", "x") == MG_OK && strcmp(mg_map_errmsg(map), "") == 0);
  mg_map_free(map);
  CHECK(mg_map_read(notes, 8, MG_READ_STRICT, &map) == MG_OK && mg_map_unlike_a_map(map) == NULL);
  mg_map_free(map);
  CHECK(strcmp(mg_error_name(MG_ERR_DAMAGED), "MG_ERR_DAMAGED") == 0 && strcmp(mg_error_name(99), "MG_ERR_UNKNOWN") == 0);
}

int main(void) {
  char command[300];
  if (mkdtemp(folder) == NULL) return 1;
  alarm(60); /* a call that hangs fails the test instead */
  test_texts();
  test_reading();
  test_changes();
  test_many_changes();
  test_saving();
  test_changed_by_any_name();
  test_io_reasons();
  test_save_waits_for_an_edit();
  test_backups();
  test_callbacks_calling_back();
  test_batch();
  test_new_file_of_acl_map();
  test_unknown_flags();
  test_not_regular_files();
  test_reasons();
  snprintf(command, sizeof command, "rm -rf '%s'", folder);
  if (system(command) != 0) ++failures;
  printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
