/* The libzip peer of the bench scripts: the shortest loop an application would write over
 * zip_fopen_index/zip_fread.
 *
 *   libzip_extract extract ARCHIVE DIR   write every entry below DIR (folders made as needed,
 *                                        the modification time set on the open file)
 *   libzip_extract test ARCHIVE          read every entry through (libzip checks the CRC-32
 *                                        when an entry has been read to its end) and its size
 *   libzip_extract list ARCHIVE          print size, time and name of every entry
 *
 * Names are trusted: the bench's own corpora hold no absolute paths and no "..". Exit status
 * 1 on the first failure. Built by the bench scripts with cc -O2 ... -lzip (libzip-dev). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <zip.h>

enum { kBufferSize = 256 * 1024 };
static char buffer[kBufferSize];

static int fail(const char* what, const char* name, const char* why) {
  fprintf(stderr, "libzip_extract: %s %s: %s\n", what, name, why);
  return 1;
}

/* Makes every folder of PATH up to (not including) its last name. The last folder made is
 * remembered: the entries of one folder follow each other, so most files need no mkdir. */
static int make_parents(const char* path) {
  static char made[4096];
  char folder[4096];
  const char* slash = strrchr(path, '/');
  if (slash == NULL) return 0;
  size_t length = (size_t)(slash - path);
  if (length >= sizeof folder) return -1;
  memcpy(folder, path, length);
  folder[length] = '\0';
  if (strcmp(folder, made) == 0) return 0;
  for (char* p = folder + 1;; ++p) {
    if (*p == '/' || *p == '\0') {
      char keep = *p;
      *p = '\0';
      if (mkdir(folder, 0777) != 0 && errno != EEXIST) return -1;
      *p = keep;
      if (keep == '\0') break;
    }
  }
  strcpy(made, folder);
  return 0;
}

static int copy_entry(zip_t* archive, zip_uint64_t index, const zip_stat_t* st, int out) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (file == NULL) return fail("open", st->name, zip_strerror(archive));
  zip_uint64_t total = 0;
  for (;;) {
    zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
    if (n < 0) {
      int status = fail("read", st->name, zip_file_strerror(file));
      zip_fclose(file);
      return status;
    }
    if (n == 0) break;
    total += (zip_uint64_t)n;
    if (out >= 0) {
      for (zip_int64_t done = 0; done < n;) {
        ssize_t w = write(out, buffer + done, (size_t)(n - done));
        if (w < 0) {
          zip_fclose(file);
          return fail("write", st->name, strerror(errno));
        }
        done += w;
      }
    }
  }
  zip_fclose(file);
  if ((st->valid & ZIP_STAT_SIZE) && total != st->size)
    return fail("size of", st->name, "differs from the directory's");
  return 0;
}

static int extract(zip_t* archive, zip_uint64_t index, const zip_stat_t* st) {
  size_t length = strlen(st->name);
  if (length > 0 && st->name[length - 1] == '/') {
    if (make_parents(st->name) != 0) return fail("make folder", st->name, strerror(errno));
    return 0;
  }
  if (make_parents(st->name) != 0) return fail("make folder for", st->name, strerror(errno));
  int out = open(st->name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) return fail("create", st->name, strerror(errno));
  int status = copy_entry(archive, index, st, out);
  if (status == 0 && (st->valid & ZIP_STAT_MTIME)) {
    struct timespec times[2] = {{st->mtime, 0}, {st->mtime, 0}};
    if (futimens(out, times) != 0) status = fail("set time of", st->name, strerror(errno));
  }
  if (close(out) != 0 && status == 0) status = fail("close", st->name, strerror(errno));
  return status;
}

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  int extracting = strcmp(mode, "extract") == 0;
  int testing = strcmp(mode, "test") == 0;
  int listing = strcmp(mode, "list") == 0;
  if (!(extracting && argc == 4) && !((testing || listing) && argc == 3)) {
    fprintf(stderr, "usage: libzip_extract extract ARCHIVE DIR | test ARCHIVE | list ARCHIVE\n");
    return 2;
  }
  int error = 0;
  zip_t* archive = zip_open(argv[2], ZIP_RDONLY, &error);
  if (archive == NULL) {
    zip_error_t why;
    zip_error_init_with_code(&why, error);
    fail("open", argv[2], zip_error_strerror(&why));
    zip_error_fini(&why);
    return 1;
  }
  if (extracting && chdir(argv[3]) != 0) return fail("enter", argv[3], strerror(errno));
  zip_int64_t count = zip_get_num_entries(archive, 0);
  int status = 0;
  for (zip_int64_t i = 0; i < count && status == 0; ++i) {
    zip_stat_t st;
    if (zip_stat_index(archive, (zip_uint64_t)i, 0, &st) != 0) {
      status = fail("stat", "entry", zip_strerror(archive));
    } else if (listing) {
      printf("%12llu %10lld %s\n", (unsigned long long)st.size, (long long)st.mtime, st.name);
    } else if (extracting) {
      status = extract(archive, (zip_uint64_t)i, &st);
    } else {
      size_t length = strlen(st.name);
      if (length == 0 || st.name[length - 1] != '/')
        status = copy_entry(archive, (zip_uint64_t)i, &st, -1);
    }
  }
  zip_discard(archive);
  return status;
}
