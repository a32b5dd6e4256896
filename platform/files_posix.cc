// Directory entries on POSIX, described the way Windows describes them:
// attribute bits, three file times in 100 ns units since 1601, sizes, and
// listings in name order so every run walks the same way.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include "platform/path_rules.h"
#include "platform/posix_internal.h"

namespace slidemill::posix {
namespace {

struct EntryTimes {
  FileIdentity identity;
  mode_t mode = 0;
  off_t size = 0;
  uint64_t written = 0;
  uint64_t accessed = 0;
  uint64_t born = 0;  // 0 where the file system keeps no birth time
};

bool StatAt(int dir_fd, const char* name, bool follow, EntryTimes* times) {
#ifdef STATX_BTIME
  struct statx info;
  int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
  if (statx(dir_fd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return false;
  times->identity = {makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino};
  times->mode = info.stx_mode;
  times->size = static_cast<off_t>(info.stx_size);
  times->written = ToFileTime(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  times->accessed = ToFileTime(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  times->born = (info.stx_mask & STATX_BTIME) != 0
                    ? ToFileTime(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                    : 0;
#else
  struct stat info;
  if (fstatat(dir_fd, name, &info, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return false;
  times->identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  times->mode = info.st_mode;
  times->size = info.st_size;
  times->written = ToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  times->accessed = ToFileTime(info.st_atim.tv_sec, info.st_atim.tv_nsec);
  times->born = 0;
#endif
  return true;
}

// The names in an open directory (which the caller keeps), sorted by byte
// value; "." and ".." left out.
bool ReadNames(int dir_fd, std::vector<std::string>* names) {
  int own_fd = dup(dir_fd);
  if (own_fd < 0) return false;
  DIR* stream = fdopendir(own_fd);
  if (stream == nullptr) {
    close(own_fd);
    return false;
  }
  while (struct dirent* item = readdir(stream)) {
    const char* name = item->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    names->emplace_back(name);
  }
  closedir(stream);
  std::sort(names->begin(), names->end());
  return true;
}

// An open directory, closed when it goes.
ScopedFd OpenDirectory(const std::string& path) {
  return ScopedFd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

uint64_t ToFileTime(int64_t seconds, int64_t nanoseconds) {
  int64_t since_1601 = seconds + kEpochDifference;
  if (since_1601 < 0) return 0;
  return static_cast<uint64_t>(since_1601) * 10000000u + static_cast<uint64_t>(nanoseconds / 100);
}

bool DescribeEntry(int dir_fd, const std::string& path, const std::string& name, FileEntry* entry) {
  // A symbolic link is described by what it points to and marked as a
  // reparse point; a dangling one by the link itself.
  EntryTimes times;
  if (!StatAt(dir_fd, path.c_str(), false, &times)) return false;
  bool is_link = S_ISLNK(times.mode);
  if (is_link) {
    EntryTimes target;
    if (StatAt(dir_fd, path.c_str(), true, &target)) times = target;
  }

  uint32_t attributes = 0;
  if (S_ISDIR(times.mode)) attributes |= kAttributeDirectory;
  if (!name.empty() && name[0] == '.') attributes |= kAttributeHidden;
  if ((times.mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  if (is_link) attributes |= kAttributeReparsePoint;
  if (attributes == 0) attributes = kAttributeNormal;

  entry->attributes = attributes;
  entry->last_write_time = times.written;
  entry->last_access_time = times.accessed;
  entry->creation_time = times.born != 0 ? times.born : times.written;
  entry->size = times.size > 0 ? static_cast<uint64_t>(times.size) : 0;
  entry->name = name;
  entry->short_name.clear();
  entry->identity = times.identity;
  return true;
}

bool DescribePath(const std::string& path, FileEntry* entry) {
  std::size_t slash = path.rfind('/');
  return DescribeEntry(AT_FDCWD, path, slash == std::string::npos ? path : path.substr(slash + 1),
                       entry);
}

bool FindMatching(const std::string& dir, const std::string& pattern,
                  std::vector<FileEntry>* entries) {
  ScopedFd dir_fd = OpenDirectory(dir.empty() ? "." : dir);
  std::vector<std::string> names;
  if (dir_fd.get() < 0 || !ReadNames(dir_fd.get(), &names)) return false;
  // Only the names that match are looked at more closely.
  for (const std::string& name : names) {
    FileEntry entry;
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0 &&
        DescribeEntry(dir_fd.get(), name, name, &entry)) {
      entries->push_back(std::move(entry));
    }
  }
  return !entries->empty();
}

ListResult ListEntries(const std::string& dir, std::vector<FileEntry>* entries,
                       std::string* error) {
  ScopedFd dir_fd = OpenDirectory(dir);
  std::vector<std::string> names;
  if (dir_fd.get() < 0 || !ReadNames(dir_fd.get(), &names)) {
    *error = SystemErrorText(errno);
    return ListResult::kFailed;
  }
  entries->reserve(entries->size() + names.size());
  for (const std::string& name : names) {
    FileEntry entry;
    // An entry that vanished since the listing is simply not there.
    if (DescribeEntry(dir_fd.get(), name, name, &entry)) entries->push_back(std::move(entry));
  }
  return ListResult::kOk;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

std::string FileErrorText(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return "Path not found";
    case EACCES:
    case EPERM:
    case EROFS: return "Permission denied";
    case ENOSPC:
    case EDQUOT: return "Disk full";
    default: return "Path/file access error";
  }
}

std::string SystemErrorText(int error) { return strerror(error); }

// Empties an open file and writes the bytes into it; 0 or the errno.
int WriteInPlace(int fd, std::string_view bytes) {
  if (ftruncate(fd, 0) != 0) return errno;
  return WriteAll(fd, bytes);
}

bool WriteFileThroughTemporary(const std::string& path, std::string_view bytes,
                               std::string* error) {
  // An existing file is replaced only where opening it for writing would be
  // allowed; a read-only title file stays as the user left it.
  int existing = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (existing < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == EISDIR)) {
    *error = FileErrorText(errno);
    return false;
  }
  // A file without write bits is the user's "do not touch" even for root,
  // whom the open above lets through.
  struct stat old_file;
  if (existing >= 0 && fstat(existing, &old_file) == 0 && S_ISREG(old_file.st_mode) &&
      (old_file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    close(existing);
    *error = FileErrorText(EACCES);
    return false;
  }
  std::size_t slash = path.rfind('/');
  std::string temporary = path.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                          TemporaryFileName(static_cast<uint32_t>(getpid()));
  // Named for removal before it exists: a signal during the open itself must
  // not leave it behind either.
  SetPendingTemporaryFile(temporary.c_str());
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
  int fd = open(temporary.c_str(), kCreate, 0666);
  // One left by an earlier process of the same number that was killed.
  if (fd < 0 && errno == EEXIST && unlink(temporary.c_str()) == 0) {
    fd = open(temporary.c_str(), kCreate, 0666);
  }
  int failure = 0;
  if (fd < 0) {
    failure = errno;
    SetPendingTemporaryFile(nullptr);
    // A directory that takes no new files may still hold a file the user
    // may write: that one is written in place.
    if (existing >= 0 && (failure == EACCES || failure == EPERM)) {
      failure = WriteInPlace(existing, bytes);
      if (close(existing) != 0 && failure == 0) failure = errno;
      existing = -1;
    }
  } else {
    // The replacement keeps the old file's permissions.
    if (existing >= 0 && fstat(existing, &old_file) == 0 && S_ISREG(old_file.st_mode)) {
      fchmod(fd, old_file.st_mode & 07777);
    }
    failure = WriteAll(fd, bytes);
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) unlink(temporary.c_str());
    SetPendingTemporaryFile(nullptr);
  }
  if (existing >= 0) close(existing);
  if (failure != 0) *error = FileErrorText(failure);
  return failure == 0;
}

bool ReadStart(const std::string& path, std::size_t limit, std::string* bytes, std::string* error) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  ScopedFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
    *error = SystemErrorText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "Not a regular file";
    return false;
  }
  bytes->assign(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    ssize_t n = read(fd.get(), bytes->data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = SystemErrorText(errno);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes->resize(got);
  return true;
}

// This process's entries of the temporary folder: the prefix, then a count
// in hexadecimal, ".jpg" for a link. Kept where a signal handler can reach
// them.
char g_temporary_prefix[4096];
volatile sig_atomic_t g_temporaries_named = 0;

// Writes `n` in hexadecimal at `at`, NUL-ended; answers the end.
char* PutHex(char* at, unsigned n) {
  char digits[16];
  int count = 0;
  do digits[count++] = "0123456789abcdef"[n % 16];
  while ((n /= 16) != 0);
  while (count > 0) *at++ = digits[--count];
  *at = '\0';
  return at;
}

bool MakeTemporary(std::string_view bytes, const char* link_to, std::string* path,
                   std::string* error) {
  if (g_temporary_prefix[0] == '\0') {
    const char* folder = getenv("TMPDIR");
    std::string dir =
        folder != nullptr && folder[0] == '/' && strlen(folder) < 3000 ? folder : "/tmp";
    std::string prefix = JoinPath(dir, "slidemill-");
    char* end = PutHex(stpcpy(g_temporary_prefix, prefix.c_str()), static_cast<unsigned>(getpid()));
    strcpy(end, "-");
  }
  // A name another program took is passed over; the new entry is never an
  // old one written through. Each is named before it is made, so that a
  // signal in between still removes it.
  for (int tries = 0; tries < 100; ++tries) {
    char name[sizeof g_temporary_prefix + 32];
    char* end =
        PutHex(stpcpy(name, g_temporary_prefix), static_cast<unsigned>(g_temporaries_named));
    g_temporaries_named = g_temporaries_named + 1;
    if (link_to != nullptr) {
      strcpy(end, ".jpg");
      if (symlink(link_to, name) == 0) {
        *path = name;
        return true;
      }
    } else if (ScopedFd fd(open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
               fd.get() >= 0) {
      int failure = WriteAll(fd.get(), bytes);
      if (failure == 0) {
        *path = name;
        return true;
      }
      unlink(name);
      errno = failure;
    }
    if (errno != EEXIST) break;
  }
  *error = SystemErrorText(errno);
  return false;
}

void RemoveTemporaries() {
  char name[sizeof g_temporary_prefix + 32];
  char* start = stpcpy(name, g_temporary_prefix);
  for (sig_atomic_t n = 0; n < g_temporaries_named; ++n) {
    char* end = PutHex(start, static_cast<unsigned>(n));
    unlink(name);
    strcpy(end, ".jpg");
    unlink(name);
  }
}

}  // namespace slidemill::posix
