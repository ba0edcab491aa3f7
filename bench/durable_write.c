// The least a durable replacement of a file costs: read it, write it to a temporary file beside it,
// flush that to disk, rename it over the original and flush the folder. Whatever silent mode takes
// beyond this is its own work, not the price of writing safely. The same for a file of any size:
// a big one is read whole, as an edit must hold it.
//   ventrel_durable_write FILE
#define _GNU_SOURCE
#include <fcntl.h>
#include <libgen.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) {
      return 0;
    }
    data += n;
    size -= (size_t)n;
  }
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const char* path = argv[1];
  const int in = open(path, O_RDONLY | O_CLOEXEC);
  struct stat info;
  if (in < 0 || fstat(in, &info) != 0) {
    return 1;
  }
  const size_t size = (size_t)info.st_size;
  char* content = malloc(size + 1);
  size_t got = 0;
  while (content != NULL && got < size) {
    const ssize_t n = read(in, content + got, size - got);
    if (n <= 0) {
      return 1;
    }
    got += (size_t)n;
  }
  close(in);

  char temp[PATH_MAX];
  char folder[PATH_MAX];
  if (content == NULL || snprintf(temp, sizeof temp, "%s.XXXXXX", path) >= (int)sizeof temp) {
    return 1;
  }
  const int out = mkostemp(temp, O_CLOEXEC);
  if (out < 0 || !WriteAll(out, content, size) || fsync(out) != 0 || close(out) != 0 ||
      rename(temp, path) != 0) {
    unlink(temp);
    return 1;
  }
  snprintf(folder, sizeof folder, "%s", path);
  const int dir = open(dirname(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || fsync(dir) != 0) {
    return 1;
  }
  free(content);
  return 0;
}
