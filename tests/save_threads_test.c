/* Two threads save two maps at once through the C interface, over and over:
 * a Windows save keeps no state shared between calls, so both succeed.
 * Usage: save_threads_test MAP FOLDER */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "mapgraft.h"

enum { rounds = 50 };

typedef struct {
  char path[MAX_PATH];
  const char *value;
  int failed;
} job;

static DWORD WINAPI save_over_and_over(LPVOID context) {
  job *j = context;
  for (int round = 0; round < rounds && !j->failed; ++round) {
    mg_map *map = NULL;
    int error = mg_map_read_file(j->path, 0, &map);
    if (error == MG_OK) error = mg_map_set_attr(map, "NAME", j->value);
    if (error == MG_OK) error = mg_map_save_file(map, j->path, NULL);
    if (error != MG_OK) {
      fprintf(stderr, "%s, round %d: %s %s\n", j->path, round, mg_strerror(error), map != NULL ? mg_map_errmsg(map) : "");
      j->failed = 1;
    }
    mg_map_free(map);
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: save_threads_test MAP FOLDER\n");
    return 2;
  }
  job jobs[2] = {{"", "First", 0}, {"", "Second", 0}};
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i) {
    snprintf(jobs[i].path, sizeof jobs[i].path, "%s\\map%d.lvl", argv[2], i);
    if (!CopyFileA(argv[1], jobs[i].path, FALSE)) {
      fprintf(stderr, "cannot copy %s to %s\n", argv[1], jobs[i].path);
      return 1;
    }
  }
  for (int i = 0; i < 2; ++i) threads[i] = CreateThread(NULL, 0, save_over_and_over, &jobs[i], 0, NULL);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  int failed = 0;
  for (int i = 0; i < 2; ++i) {
    CloseHandle(threads[i]);
    mg_map *map = NULL;
    const unsigned char *value = NULL;
    size_t size = 0;
    if (jobs[i].failed || mg_map_read_file(jobs[i].path, 0, &map) != MG_OK ||
        mg_map_get_attr(map, "NAME", &value, &size) != MG_OK || size != strlen(jobs[i].value) ||
        memcmp(value, jobs[i].value, size) != 0) {
      fprintf(stderr, "%s: not saved with NAME=%s\n", jobs[i].path, jobs[i].value);
      failed = 1;
    }
    mg_map_free(map);
  }
  if (!failed) printf("two threads saved %d times each\n", rounds);
  return failed;
}
