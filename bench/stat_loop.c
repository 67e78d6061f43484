/* The bare stat loop: one attribute query per path of a list, nothing else.
 *   stat_loop [--threads=N] [--folders] FOLDER LIST
 * LIST holds UTF-8 relative paths with forward slashes, one per line. Built natively it calls
 * stat(); built for Windows (run under Wine) GetFileAttributesExW, the query the patch engine's
 * check makes. --folders also asks about every folder on the way once (GetFileAttributesW, as
 * the check does to see that no folder is a link), just before the first file below it.
 * --threads shares the queries out among N threads (1 by default) in runs of neighbouring
 * paths. Prints "paths N missing M seconds S folders F threads T", S being the loop's own time. */
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
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}
#endif

/* One query: a file (its size and times wanted) or a folder (its attributes only). */
struct Query {
#ifdef _WIN32
  wchar_t* path;
#else
  char* path;
#endif
  int folder;
};

static struct Query* queries;
static size_t queryCount;
static volatile long nextRun;
static volatile long missing;
enum { kRun = 1024 };

static void Push(const char* text, int folder, size_t* capacity) {
  if (queryCount == *capacity) queries = realloc(queries, (*capacity *= 2) * sizeof *queries);
#ifdef _WIN32
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  wchar_t* wide = malloc(n * sizeof(wchar_t));
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, n);
  for (wchar_t* c = wide; *c; ++c)
    if (*c == L'/') *c = L'\\';
  queries[queryCount].path = wide;
#else
  queries[queryCount].path = strdup(text);
#endif
  queries[queryCount].folder = folder;
  ++queryCount;
}

static long TakeRun(void) {
#ifdef _WIN32
  return InterlockedExchangeAdd(&nextRun, kRun);
#else
  return __atomic_fetch_add(&nextRun, kRun, __ATOMIC_RELAXED);
#endif
}

static void CountMissing(long n) {
#ifdef _WIN32
  InterlockedExchangeAdd(&missing, n);
#else
  __atomic_fetch_add(&missing, n, __ATOMIC_RELAXED);
#endif
}

#ifdef _WIN32
static DWORD WINAPI Worker(void* unused) {
#else
static void* Worker(void* unused) {
#endif
  (void)unused;
  long lost = 0;
  for (size_t first; (first = (size_t)TakeRun()) < queryCount;) {
    size_t end = first + kRun < queryCount ? first + kRun : queryCount;
    for (size_t i = first; i < end; ++i) {
#ifdef _WIN32
      if (queries[i].folder) {
        if (GetFileAttributesW(queries[i].path) == INVALID_FILE_ATTRIBUTES) ++lost;
      } else {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(queries[i].path, GetFileExInfoStandard, &data)) ++lost;
      }
#else
      struct stat st;
      if (stat(queries[i].path, &st) != 0) ++lost;
#endif
    }
  }
  CountMissing(lost);
  return 0;
}

int main(int argc, char** argv) {
  int threads = 1, folders = 0, arg = 1;
  for (; arg < argc && strncmp(argv[arg], "--", 2) == 0; ++arg) {
    if (strncmp(argv[arg], "--threads=", 10) == 0) threads = atoi(argv[arg] + 10);
    else if (strcmp(argv[arg], "--folders") == 0) folders = 1;
    else threads = 0;
  }
  if (argc - arg != 2 || threads < 1 || threads > 64) {
    fprintf(stderr, "usage: stat_loop [--threads=N] [--folders] FOLDER LIST\n");
    return 2;
  }
  const char* root = argv[arg];
  FILE* list = fopen(argv[arg + 1], "rb");
  if (!list) return 2;
  /* All paths are read (and the folders found) first so that the loop measures the queries
   * alone. The list is sorted, so a folder not shared with the previous path is new. */
  size_t capacity = 1024, paths = 0, folderCount = 0;
  queries = malloc(capacity * sizeof *queries);
  char line[4096], previous[4096] = "", full[8192];
  while (fgets(line, sizeof line, list)) {
    line[strcspn(line, "\r\n")] = 0;
    if (!*line) continue;
    if (folders) {
      size_t shared = 0;
      for (size_t i = 0; line[i] && line[i] == previous[i]; ++i)
        if (line[i] == '/') shared = i + 1;
      for (char* cut = strchr(line + shared, '/'); cut; cut = strchr(cut + 1, '/')) {
        snprintf(full, sizeof full, "%s/%.*s", root, (int)(cut - line), line);
        Push(full, 1, &capacity);
        ++folderCount;
      }
      strcpy(previous, line);
    }
    snprintf(full, sizeof full, "%s/%s", root, line);
    Push(full, 0, &capacity);
    ++paths;
  }
  fclose(list);
  double started = Now();
#ifdef _WIN32
  HANDLE handles[64];
  for (int t = 1; t < threads; ++t) handles[t] = CreateThread(NULL, 0, Worker, NULL, 0, NULL);
  Worker(NULL);
  for (int t = 1; t < threads; ++t) {
    WaitForSingleObject(handles[t], INFINITE);
    CloseHandle(handles[t]);
  }
#else
  pthread_t handles[64];
  for (int t = 1; t < threads; ++t) pthread_create(&handles[t], NULL, Worker, NULL);
  Worker(NULL);
  for (int t = 1; t < threads; ++t) pthread_join(handles[t], NULL);
#endif
  printf("paths %zu missing %ld seconds %.3f folders %zu threads %d\n", paths, (long)missing, Now() - started,
         folderCount, threads);
  return missing ? 1 : 0;
}
