/* The least a one-thread listing of a tree must do: walk it breadth-first
 * with readdir, fstatat every entry, and print one line per entry. The
 * benchmarks compare a plain listing with it. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: syscall_floor FOLDER\n");
    return 2;
  }
  static char out[1 << 20];
  setvbuf(stdout, out, _IOFBF, sizeof out);
  size_t count = 1, capacity = 1024, next = 0;
  char** queue = malloc(capacity * sizeof *queue);
  queue[0] = strdup(argv[1]);
  while (next < count) {
    char* folder = queue[next++];
    DIR* dir = opendir(folder);
    if (dir != NULL) {
      const struct dirent* d;
      while ((d = readdir(dir)) != NULL) {
        if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
        struct stat st;
        if (fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        printf("%lld %lld %o %s/%s\n", (long long)st.st_mtim.tv_sec, (long long)st.st_size, (unsigned)st.st_mode,
               folder, d->d_name);
        if (S_ISDIR(st.st_mode)) {
          if (count == capacity) queue = realloc(queue, (capacity *= 2) * sizeof *queue);
          size_t length = strlen(folder) + strlen(d->d_name) + 2;
          queue[count] = malloc(length);
          snprintf(queue[count++], length, "%s/%s", folder, d->d_name);
        }
      }
      closedir(dir);
    }
    free(folder);
  }
  free(queue);
  return fflush(stdout) == 0 ? 0 : 1;
}
