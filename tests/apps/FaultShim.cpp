// Loaded (LD_PRELOAD) into the scrivlock tool by its tests, to make the system
// fail as a failing disk or a read-only file system would. SCRIVLOCK_FAIL says
// how:
//   folder-fsync  flushing a folder fails (EIO);
//   writes        opening a file to write or create it, and every link,
//                 rename and unlink, fail (EROFS).
// Without SCRIVLOCK_FAIL every call goes through unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

bool Failing(const char* mode) {
  const char* fail = std::getenv("SCRIVLOCK_FAIL");
  return fail && std::strcmp(fail, mode) == 0;
}

bool Writes(int flags) {
  return (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

template <class TFunction>
TFunction Next(const char* name) {
  return reinterpret_cast<TFunction>(dlsym(RTLD_NEXT, name));
}

mode_t ModeOf(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

int Refuse() {
  errno = EROFS;
  return -1;
}

}  // namespace

extern "C" {

int fsync(int fd) {
  struct stat info {};
  if (Failing("folder-fsync") && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    errno = EIO;
    return -1;
  }
  return Next<int (*)(int)>("fsync")(fd);
}

#define SCRIVLOCK_OPEN(name)                                               \
  int name(const char* path, int flags, ...) {                             \
    va_list args;                                                          \
    va_start(args, flags);                                                 \
    const mode_t mode = ModeOf(flags, args);                               \
    va_end(args);                                                          \
    if (Failing("writes") && Writes(flags)) return Refuse();               \
    return Next<int (*)(const char*, int, ...)>(#name)(path, flags, mode); \
  }
SCRIVLOCK_OPEN(open)
SCRIVLOCK_OPEN(open64)

#define SCRIVLOCK_OPENAT(name)                                                       \
  int name(int dir, const char* path, int flags, ...) {                              \
    va_list args;                                                                    \
    va_start(args, flags);                                                           \
    const mode_t mode = ModeOf(flags, args);                                         \
    va_end(args);                                                                    \
    if (Failing("writes") && Writes(flags)) return Refuse();                         \
    return Next<int (*)(int, const char*, int, ...)>(#name)(dir, path, flags, mode); \
  }
SCRIVLOCK_OPENAT(openat)
SCRIVLOCK_OPENAT(openat64)

int link(const char* from, const char* to) {
  return Failing("writes") ? Refuse() : Next<int (*)(const char*, const char*)>("link")(from, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  return Failing("writes") ? Refuse()
                           : Next<int (*)(int, const char*, int, const char*, int)>("linkat")(
                                 fromDir, from, toDir, to, flags);
}
int rename(const char* from, const char* to) {
  return Failing("writes") ? Refuse() : Next<int (*)(const char*, const char*)>("rename")(from, to);
}
int unlink(const char* path) {
  return Failing("writes") ? Refuse() : Next<int (*)(const char*)>("unlink")(path);
}

}  // extern "C"
