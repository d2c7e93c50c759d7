/* The least a one-thread listing of a tree must do: walk it breadth-first
 * with readdir, fstatat every entry, and print one line per entry. The
 * benchmarks compare a plain listing with it. With --xattrs it also asks
 * each entry for the size of its extended attribute list, as a metadata
 * listing must. With --read it also reads each regular file whole, as a
 * digest listing must, without hashing it: open, read into one buffer until
 * a short read, fstat (the look after the read), close. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const int xattrs = argc == 3 && strcmp(argv[1], "--xattrs") == 0;
  const int reads = argc == 3 && strcmp(argv[1], "--read") == 0;
  if (argc != 2 + xattrs + reads) {
    fprintf(stderr, "usage: syscall_floor [--xattrs | --read] FOLDER\n");
    return 2;
  }
  argv += xattrs + reads;
  static char buffer[1 << 16];
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
        /* listxattrat(2), by the folder's descriptor, from Linux 6.13 on. */
        const long names = xattrs ? syscall(465, dirfd(dir), d->d_name, AT_SYMLINK_NOFOLLOW, NULL, 0) : 0;
        long bytes = 0;
        if (reads && S_ISREG(st.st_mode)) {
          const int fd = openat(dirfd(dir), d->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
          if (fd >= 0) {
            ssize_t got;
            while ((got = read(fd, buffer, sizeof buffer)) == (ssize_t)sizeof buffer) bytes += got;
            bytes += got > 0 ? got : 0;
            struct stat after;
            if (fstat(fd, &after) != 0 || after.st_size != bytes) bytes = -1;
            close(fd);
          }
        }
        printf("%lld %lld %o %ld %ld %s/%s\n", (long long)st.st_mtim.tv_sec, (long long)st.st_size,
               (unsigned)st.st_mode, names, bytes, folder, d->d_name);
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
