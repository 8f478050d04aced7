/* libmapgraft's DLL through its C interface, under Windows' rules for names:
 * case, "NUL", hard links. Run in a scratch folder, with mapgraft-edit.exe's
 * path as its argument. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "c_check.h"
#include "mapgraft.h"

static void put_file(const char *name, const char *data) {
  FILE *f = fopen(name, "wb");
  CHECK(f != NULL && fwrite(data, 1, strlen(data), f) == strlen(data));
  if (f != NULL) fclose(f);
}

static size_t file_size(const char *name) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  return GetFileAttributesExA(name, GetFileExInfoStandard, &info) ? info.nFileSizeLow : 0;
}

int main(int argc, char **argv) {
  static const char *spellings[] = {"w.lvl", "W.LVL", ".\\w.lvl", "./W.lvl"};
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, NULL, NULL, NULL};
  mg_map *map = NULL;
  char command[1024];
  size_t i;
  if (argc != 2) return 2;
  /* Another edit replaced the file: found however the save names it. */
  for (i = 0; i < sizeof spellings / sizeof *spellings; ++i) {
    put_file("w.lvl", "ABCDEFGH");
    CHECK(mg_map_read_file("w.lvl", 0, &map) == MG_OK && mg_map_set_attr(map, "NAME", "library") == MG_OK);
    snprintf(command, sizeof command, "%s -q --set OTHER=edit w.lvl", argv[1]);
    CHECK(system(command) == 0);
    CHECK(mg_map_save_file(map, spellings[i], NULL) == MG_ERR_CHANGED);
    mg_map_free(map);
  }
  /* Every MG_ERR_IO leaves its reason. */
  CHECK(mg_map_read("ABCDEFGH", 8, 0, &map) == MG_OK);
  for (i = 0; i < 2; ++i) {
    options.flags = i == 0 ? 0 : MG_SAVE_CHECK;
    SetLastError(0);
    CHECK(mg_map_save_file(map, "NUL", &options) == MG_ERR_IO && GetLastError() == ERROR_INVALID_PARAMETER);
    SetLastError(0);
    CHECK(mg_map_save_file(map, ".", &options) == MG_ERR_IO && GetLastError() != 0);
  }
  mg_map_free(map);
  /* The old file stays as the backup, a hard link on NTFS. */
  put_file("w.lvl", "ABCDEFGH");
  CHECK(mg_map_read_file("w.lvl", 0, &map) == MG_OK && mg_map_set_attr(map, "NAME", "kept") == MG_OK);
  options.flags = 0;
  options.backup = "~";
  CHECK(mg_map_save_file(map, "w.lvl", &options) == MG_OK && file_size("w.lvl~") == 8 && file_size("w.lvl") > 8);
  mg_map_free(map);
  printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
