/* The bare stat loop: one attribute query per path of a list, nothing else.
 *   stat_loop FOLDER LIST
 * LIST holds UTF-8 relative paths with forward slashes, one per line. Built natively it calls
 * stat(); built for Windows (run under Wine) GetFileAttributesExW, the query the patch engine's
 * check makes. Prints "paths N missing M seconds S", S being the loop's own time. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
static double Now(void) {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return (double)t.QuadPart / (double)f.QuadPart;
}
#else
#include <sys/stat.h>
#include <time.h>
static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}
#endif

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: stat_loop FOLDER LIST\n");
    return 2;
  }
  FILE* list = fopen(argv[2], "rb");
  if (!list) return 2;
  /* All paths are read first so that the loop measures the queries alone. */
  size_t count = 0, capacity = 1024;
  char** paths = malloc(capacity * sizeof *paths);
  char line[4096];
  while (fgets(line, sizeof line, list)) {
    line[strcspn(line, "\n")] = 0;
    if (count == capacity) paths = realloc(paths, (capacity *= 2) * sizeof *paths);
    char* full = malloc(strlen(argv[1]) + strlen(line) + 2);
    sprintf(full, "%s/%s", argv[1], line);
    paths[count++] = full;
  }
  fclose(list);
  size_t missing = 0;
  double started;
#ifdef _WIN32
  wchar_t** wide = malloc(count * sizeof *wide);
  for (size_t i = 0; i < count; ++i) {
    int n = MultiByteToWideChar(CP_UTF8, 0, paths[i], -1, NULL, 0);
    wide[i] = malloc(n * sizeof(wchar_t));
    MultiByteToWideChar(CP_UTF8, 0, paths[i], -1, wide[i], n);
    for (wchar_t* c = wide[i]; *c; ++c)
      if (*c == L'/') *c = L'\\';
  }
  started = Now();
  for (size_t i = 0; i < count; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide[i], GetFileExInfoStandard, &data)) ++missing;
  }
#else
  started = Now();
  for (size_t i = 0; i < count; ++i) {
    struct stat st;
    if (stat(paths[i], &st) != 0) ++missing;
  }
#endif
  printf("paths %zu missing %zu seconds %.3f\n", count, missing, Now() - started);
  return missing ? 1 : 0;
}
