// The Win32 platform: the console, its control handler and the file services
// by their own names.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/path_rules.h"
#include "platform/platform.h"
#include "platform/windows_command_line.h"

namespace slidemill {
namespace {

// The console event that asked the run to end (0 while none did), and the
// event that wakes the waits for it.
volatile LONG g_end_event_type = 0;
HANDLE g_end_event = nullptr;

// Reports Ctrl-C and Ctrl-Break as handled and does nothing else, so neither
// ends the program while a child sharing the console still receives them.
// The console closing, a log-off or a shut-down ask the run to end: the
// handler notes it, wakes the waits, and holds the system off (it ends the
// process once a handler returns) while the run stops its encoders and
// ends; the system's own time limit still applies.
BOOL WINAPI ControlHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterlockedCompareExchange(&g_end_event_type, static_cast<LONG>(event) + 1, 0);
      if (g_end_event != nullptr) SetEvent(g_end_event);
      ::Sleep(INFINITE);
      return TRUE;
    default: return FALSE;
  }
}

// A Win32 handle that closes itself.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// How the system ends a console program that a Ctrl-C or Ctrl-Break
// reached and that has no handler of its own (STATUS_CONTROL_C_EXIT).
constexpr DWORD kCtrlBreakExit = 0xC000013A;

// The console's own input while a session runs, and its mode before.
HANDLE g_input = INVALID_HANDLE_VALUE;
DWORD g_input_mode = 0;

class Win32ConsoleSession : public ConsoleSession {
 public:
  Win32ConsoleSession() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(out, &output_mode_)) {
      output_ = out;
      SetConsoleMode(out, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
    }
    // The console shows the program's UTF-8 text as such.
    output_code_page_ = GetConsoleOutputCP();
    if (output_code_page_ != 0) SetConsoleOutputCP(CP_UTF8);
    if (g_end_event == nullptr) g_end_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(ControlHandler, TRUE);
    // The console's own input, not standard input, which may be redirected:
    // mode 0 lets Ctrl-C arrive as the key with code 3.
    HANDLE input =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &g_input_mode)) {
      g_input = input;
      SetConsoleMode(g_input, 0);
    } else if (input != INVALID_HANDLE_VALUE) {
      CloseHandle(input);
    }
  }

  ~Win32ConsoleSession() override {
    if (g_input != INVALID_HANDLE_VALUE) {
      SetConsoleMode(g_input, g_input_mode);
      CloseHandle(g_input);
      g_input = INVALID_HANDLE_VALUE;
    }
    SetConsoleCtrlHandler(ControlHandler, FALSE);
    if (output_ != nullptr) SetConsoleMode(output_, output_mode_);
    if (output_code_page_ != 0) SetConsoleOutputCP(output_code_page_);
  }

 private:
  HANDLE output_ = nullptr;
  DWORD output_mode_ = 0;
  UINT output_code_page_ = 0;
};

bool IsModifierKey(WORD key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU: return true;
    default: return false;
  }
}

// A few words for a Win32 error, in the forms the title-file report uses.
std::string FileErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return "Path not found";
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION: return "Permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "Disk full";
    default: return "Path/file access error";
  }
}

// The system's own description of an error, on one line. Messages come
// with their inserts unfilled ("%1 is not a valid Win32 application"), so
// that none can ask for more than it is given; each one is `insert`, and
// `inserted` tells whether there was one.
std::string SystemErrorText(DWORD error, std::string_view insert = {}, bool* inserted = nullptr) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string raw =
      length > 0 && text != nullptr ? std::string(text, length) : "Error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  auto digit = [&](std::size_t at) { return at < raw.size() && std::isdigit(raw[at] & 0xFF); };
  std::string message;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    // An insert is "%" and its number, with an optional "!format!".
    if (raw[i] != '%' || !digit(i + 1) || raw[i + 1] == '0') {
      message += raw[i];
      continue;
    }
    while (digit(i + 1)) ++i;
    std::size_t format_end = raw[i + 1] == '!' ? raw.find('!', i + 2) : std::string::npos;
    if (format_end != std::string::npos) i = format_end;
    message += insert;
    if (inserted != nullptr) *inserted = true;
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time) {
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return result;
}

void FillEntry(const WIN32_FIND_DATAA& data, FileEntry* entry) {
  entry->attributes = data.dwFileAttributes;
  entry->creation_time = FromFileTime(data.ftCreationTime);
  entry->last_access_time = FromFileTime(data.ftLastAccessTime);
  entry->last_write_time = FromFileTime(data.ftLastWriteTime);
  entry->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry->name = data.cFileName;
  entry->short_name = data.cAlternateFileName;
}

SYSTEMTIME ToSystemTime(const CalendarTime& time) {
  SYSTEMTIME result;
  result.wYear = static_cast<WORD>(time.year);
  result.wMonth = static_cast<WORD>(time.month);
  result.wDayOfWeek = static_cast<WORD>(time.day_of_week);
  result.wDay = static_cast<WORD>(time.day);
  result.wHour = static_cast<WORD>(time.hour);
  result.wMinute = static_cast<WORD>(time.minute);
  result.wSecond = static_cast<WORD>(time.second);
  result.wMilliseconds = static_cast<WORD>(time.milliseconds);
  return result;
}

// Every entry a find-first and its find-next calls give; a find that stops
// early keeps what was read. Answers the find-first's error, or
// ERROR_SUCCESS.
DWORD FindEntries(const std::string& pattern, std::vector<FileEntry>* entries) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError();
  do {
    FileEntry entry;
    FillEntry(data, &entry);
    entries->push_back(std::move(entry));
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return ERROR_SUCCESS;
}

// Whether the last part of a path holds a byte that a find reads as a
// wildcard. No Windows name holds one, so such a path names nothing.
bool HasWildcardName(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/:");
  std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  return HasWildcard(name) || name.find_first_of("<>\"") != std::string_view::npos;
}

// Writes all the bytes to an open file; 0 or the system's error.
DWORD WriteBytes(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD chunk = bytes.size() > 65536 ? 65536 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
      return GetLastError();
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

// Text in the program's code page as the wide calls take it, and back.
std::wstring Wide(std::string_view text) {
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

// The entries of a list such as PATH, empty ones left out.
std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> entries;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t end = std::min(list.find(';', start), list.size());
    if (end > start) entries.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

class Win32Platform : public Platform {
 public:
  ProcessCommandLine CommandLine(int, char**) override {
    ProcessCommandLine line;
    line.is_single_text = true;
    const char* text = GetCommandLineA();
    line.text = text != nullptr ? text : "";
    return line;
  }

  std::optional<std::string> EnvironmentVariable(const std::string& name) override {
    DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::string value(size, '\0');
    DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
  }

  std::unique_ptr<ConsoleSession> StartConsole() override {
    if (session_started_) return std::make_unique<ConsoleSession>();
    session_started_ = true;
    return std::make_unique<Win32ConsoleSession>();
  }

  void Write(ConsoleStream stream, std::string_view text) override {
    HANDLE handle =
        GetStdHandle(stream == ConsoleStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (!text.empty()) {
      DWORD chunk = text.size() > 65536 ? 65536 : static_cast<DWORD>(text.size());
      DWORD written = 0;
      if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) {
        return;  // console writes are not checked
      }
      text.remove_prefix(written);
    }
  }

  std::string_view LineEnd() override { return "\r\n"; }

  std::string ReadKey() override {
    if (g_input == INVALID_HANDLE_VALUE) return "";
    for (;;) {
      INPUT_RECORD record;
      DWORD count = 0;
      if (!PeekConsoleInputA(g_input, &record, 1, &count) || count == 0) return "";
      if (!ReadConsoleInputA(g_input, &record, 1, &count) || count == 0) return "";
      // Releases, mouse and window events, and modifier keys alone are
      // passed over.
      if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
      if (IsModifierKey(record.Event.KeyEvent.wVirtualKeyCode)) continue;
      char character = record.Event.KeyEvent.uChar.AsciiChar;
      if (character != 0) return std::string(1, character);
      return std::string{'\0', static_cast<char>(record.Event.KeyEvent.wVirtualScanCode)};
    }
  }

  bool HasKeyboard() override { return g_input != INVALID_HANDLE_VALUE; }

  bool ShowTitle(std::string_view title) override {
    if (!IsConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return false;
    if (title.empty()) {
      if (saved_title_) SetConsoleTitleA(saved_title_->c_str());
      saved_title_.reset();
      return true;
    }
    if (!saved_title_) {
      char text[1024] = {};
      GetConsoleTitleA(text, sizeof text);
      saved_title_ = text;
    }
    SetConsoleTitleA(std::string(title).c_str());
    return true;
  }

  void SetTextColor(TextColor color) override {
    // The console that shows colours is standard output's, else standard
    // error's.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!IsConsole(out)) out = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(out)) SetConsoleTextAttribute(out, static_cast<WORD>(color));
  }

  std::string CurrentDirectory() override {
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return "";
    std::string dir(size, '\0');
    DWORD length = GetCurrentDirectoryA(size, dir.data());
    dir.resize(length < size ? length : 0);
    return dir;
  }

  bool DirectoryExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool FileExists(const std::string& path) override {
    // "C:" names a drive's current directory, never a file.
    if (!path.empty() && path.back() == ':') return false;
    if (HasWildcardName(path)) return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    constexpr DWORD kVolumeLabel = 0x8;
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel)) == 0;
  }

  std::optional<std::string> ProgramFile(const std::string& path) override {
    // Never searched for: a path means where it says.
    return FindProgram(AbsolutePath(path));
  }

  std::string FontsFolder() override {
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, 0, folder))) return "";
    return folder;
  }

  bool AppendToFile(const std::string& path, std::string_view bytes) override {
    // Closed again after every write, so the file is complete on disk after
    // every line; meanwhile others may read it (a viewer that follows the
    // log), but not write.
    ScopedHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    while (!bytes.empty()) {
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
          written == 0) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    if (HasWildcardName(path)) return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    FillEntry(data, entry);
    return true;
  }

  bool FindAll(const std::string& dir, const std::string& pattern,
               std::vector<FileEntry>* entries) override {
    // "" is the current directory, and "C:" the drive's current one.
    bool joined = dir.empty() || dir.back() == ':' || dir.back() == '\\' || dir.back() == '/';
    return FindEntries(joined ? dir + pattern : dir + "\\" + pattern, entries) == ERROR_SUCCESS;
  }

  bool FileTimeToCalendar(uint64_t file_time, bool local, CalendarTime* time) override {
    FILETIME when = ToFileTime(file_time);
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&when, &utc)) return false;
    SYSTEMTIME result = utc;
    // No zone given: the one in force at the moment of the call.
    if (local && !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &result)) return false;
    *time = {result.wYear, result.wMonth,  result.wDayOfWeek, result.wDay,
             result.wHour, result.wMinute, result.wSecond,    result.wMilliseconds};
    return true;
  }

  std::string FormatDate(const CalendarTime& time, std::string_view picture) override {
    return Format(GetDateFormatA, time, picture);
  }

  std::string FormatTime(const CalendarTime& time, std::string_view picture) override {
    return Format(GetTimeFormatA, time, picture);
  }

  ListResult ListDirectory(const std::string& dir, std::vector<FileEntry>* entries,
                           std::string* error) override {
    // JoinPath: a root such as "\\" or "C:\\" takes no second separator.
    std::string pattern = JoinPath(dir, "*", kWindowsPathRules);
    switch (DWORD result = FindEntries(pattern, entries)) {
      case ERROR_SUCCESS: return ListResult::kOk;
      case ERROR_FILE_NOT_FOUND: return ListResult::kNotFound;
      default:
        // The length the system judges is the absolute path's.
        if (AbsolutePath(pattern).size() > MaxPathLength()) return ListResult::kTooLong;
        *error = SystemErrorText(result);
        return ListResult::kFailed;
    }
  }

  std::optional<FileIdentity> DirectoryIdentity(const std::string& path) override {
    ScopedHandle handle(CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) {
      return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }

  std::string AbsolutePath(const std::string& path) override {
    // The wide call answers a path longer than the system's paths too, so
    // that its length can be judged.
    std::wstring wide = Wide(path);
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return Narrow(full);
  }

  bool WriteWholeFile(const std::string& path, std::string_view bytes,
                      std::string* error) override {
    // An existing file is replaced only where opening it for writing would
    // be allowed; a read-only title file stays as the user left it.
    bool exists_writable = false;
    // The attribute is the user's word even where the file system would let
    // the write through.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      *error = FileErrorText(ERROR_ACCESS_DENIED);
      return false;
    }
    {
      ScopedHandle existing(CreateFileA(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (existing.valid()) {
        exists_writable = true;
      } else if (DWORD failure = GetLastError();
                 failure != ERROR_FILE_NOT_FOUND && failure != ERROR_PATH_NOT_FOUND) {
        *error = FileErrorText(failure);
        return false;
      }
    }
    std::size_t slash = path.find_last_of("\\/:");
    std::string temporary = path.substr(0, slash == std::string::npos ? 0 : slash + 1) +
                            TemporaryFileName(GetCurrentProcessId());
    DWORD failure = 0;
    {
      ScopedHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) {
        failure = GetLastError();
        // A directory that takes no new files may still hold a file the
        // user may write: that one is written in place.
        if (failure == ERROR_ACCESS_DENIED && exists_writable) {
          ScopedHandle in_place(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                            TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
          failure = in_place.valid() ? WriteBytes(in_place.get(), bytes) : GetLastError();
        }
        if (failure != 0) *error = FileErrorText(failure);
        return failure == 0;
      }
      failure = WriteBytes(file.get(), bytes);
    }
    if (failure == 0 && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      failure = GetLastError();
    }
    if (failure != 0) {
      DeleteFileA(temporary.c_str());
      *error = FileErrorText(failure);
      return false;
    }
    return true;
  }

  bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                     std::string* error) override {
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) {
      *error = SystemErrorText(GetLastError());
      return false;
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      *error = "Not a regular file";
      return false;
    }
    bytes->assign(limit, '\0');
    std::size_t got = 0;
    for (DWORD n = 1; got < limit && n > 0; got += n) {
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
      if (!ReadFile(file.get(), bytes->data() + got, want, &n, nullptr)) {
        *error = SystemErrorText(GetLastError());
        return false;
      }
    }
    bytes->resize(got);
    return true;
  }

  bool WriteTemporaryFile(std::string_view bytes, std::string* path, std::string* error) override {
    char folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(sizeof folder, folder);
    DWORD failure = length == 0 || length > MAX_PATH ? GetLastError() : ERROR_FILE_EXISTS;
    static std::atomic<unsigned> made{0};
    // A name another program took is passed over.
    for (int tries = 0; failure == ERROR_FILE_EXISTS && tries < 100; ++tries) {
      char name[64];
      snprintf(name, sizeof name, "slidemill-%lx-%x.txt", GetCurrentProcessId(), made++);
      std::string candidate = JoinPath(folder, name, kWindowsPathRules);
      {
        ScopedHandle file(CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!file.valid()) {
          failure = GetLastError();
          continue;
        }
        failure = WriteBytes(file.get(), bytes);
      }
      if (failure == 0) {
        *path = candidate;
        return true;
      }
      DeleteFileA(candidate.c_str());
    }
    *error = SystemErrorText(failure);
    return false;
  }

  bool LinkTemporaryFile(const std::string&, std::string*, std::string* error) override {
    *error = SystemErrorText(ERROR_NOT_SUPPORTED);
    return false;
  }

  std::string ReadFileRange(const std::string& path, uint64_t offset, std::size_t size) override {
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string bytes(size, '\0');
    std::size_t got = 0;
    if (file.valid() && SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) {
      DWORD read = 0;
      while (got < size &&
             ReadFile(file.get(), bytes.data() + got,
                      static_cast<DWORD>(std::min<std::size_t>(size - got, 65536)), &read,
                      nullptr) &&
             read > 0) {
        got += read;
      }
    }
    bytes.resize(got);
    return bytes;
  }

  bool MakeFreshFile(const std::string& path, std::string* error) override {
    // DeleteFileA takes a symbolic link itself away, never what it leads to.
    if (!DeleteFileA(path.c_str())) {
      DWORD failure = GetLastError();
      if (failure != ERROR_FILE_NOT_FOUND && failure != ERROR_PATH_NOT_FOUND) {
        *error = SystemErrorText(failure);
        return false;
      }
    }
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.valid()) return true;
    *error = SystemErrorText(GetLastError());
    return false;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    *error = FileErrorText(GetLastError());
    return false;
  }

  // The line that runs: the program as it is found, then the arguments,
  // each one as the C runtime will split it back.
  std::string ShownCommandLine(const std::vector<CommandArgument>& arguments) override {
    std::vector<CommandArgument> line = arguments;
    if (!line.empty()) line[0].text = FindProgram(line[0].text).value_or(line[0].text);
    return WindowsCommandLine(line);
  }

  ChildStart StartChild(const std::vector<CommandArgument>& arguments, const std::string& dir,
                        bool background) override {
    DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      return {0, NotRun(ChildOutcome::Kind::kNoDirectory, GetLastError())};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return {0, NotRun(ChildOutcome::Kind::kNoDirectory, ERROR_DIRECTORY)};
    }
    if (children_.size() >= MAXIMUM_WAIT_OBJECTS) {
      return {0, NotRun(ChildOutcome::Kind::kCannotStart, ERROR_NOT_ENOUGH_QUOTA)};
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process = {};
    // Started directly, with no command interpreter to read names as
    // commands or expand %VARIABLES% in them.
    std::string name = arguments.empty() ? "" : arguments[0].text;
    std::optional<std::string> program = FindProgram(name);
    if (!program) return {0, CannotStart(name, ERROR_FILE_NOT_FOUND)};
    if (IsBatchFile(*program)) {
      return {0, ChildOutcome{ChildOutcome::Kind::kCannotStart, 0,
                              "A batch file cannot be the encoder: " + *program}};
    }
    std::string line = ShownCommandLine(arguments);
    // Suspended until it is in the job, so that nothing it starts escapes.
    DWORD flags = NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED;
    // Every encoder reads nothing of the user's: not the keyboard, not what
    // was piped to the program. Its handles are inheritable only while it is
    // created.
    ScopedHandle input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ScopedHandle output(INVALID_HANDLE_VALUE), errors(INVALID_HANDLE_VALUE);
    if (background) {
      // A group of its own ignores the console's Ctrl-C.
      flags |= CREATE_NEW_PROCESS_GROUP;
      output = OutputFile();
    } else {
      output = InheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
      errors = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    }
    if (!input.valid() || (background && !output.valid())) {
      return {0, NotRun(ChildOutcome::Kind::kCannotStart, GetLastError())};
    }
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = background ? output.get() : errors.get();
    // While children run in the foreground, Ctrl-C is a console event
    // again, so that it reaches them; the control handler keeps it from
    // ending us.
    bool lend = !background && !AnyInForeground();
    if (lend) LendConsoleInput();
    SetInheritable(input, output, true);
    BOOL created = CreateProcessA(program->c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                                  nullptr, dir.c_str(), &startup, &process);
    DWORD error = GetLastError();
    SetInheritable(input, output, false);
    if (!created) {
      if (lend) TakeConsoleInputBack();
      if (error == ERROR_DIRECTORY) return {0, NotRun(ChildOutcome::Kind::kNoDirectory, error)};
      return {0, CannotStart(*program, error)};
    }
    ScopedHandle thread(process.hThread);
    if (HANDLE job = Job()) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(thread.get());
    children_.push_back({process.dwProcessId, ScopedHandle(process.hProcess), background,
                         background ? std::move(output) : ScopedHandle(INVALID_HANDLE_VALUE)});
    return {process.dwProcessId, {}};
  }

  std::optional<EndedChild> WaitForChild(uint32_t milliseconds, bool or_key) override {
    if (children_.empty()) {
      return EndedChild{0, NotRun(ChildOutcome::Kind::kLost, ERROR_INVALID_HANDLE), ""};
    }
    std::vector<HANDLE> handles;
    for (const Child& child : children_) handles.push_back(child.process.get());
    DWORD count = static_cast<DWORD>(handles.size());
    // The end event and the console's input are more handles to wait on,
    // where they fit; what does not fit is looked at every 50 ms.
    bool end_fits = g_end_event != nullptr && handles.size() < MAXIMUM_WAIT_OBJECTS;
    if (end_fits) handles.push_back(g_end_event);
    bool input = or_key && g_input != INVALID_HANDLE_VALUE;
    bool input_fits = input && handles.size() < MAXIMUM_WAIT_OBJECTS;
    if (input_fits) handles.push_back(g_input);
    DWORD started = GetTickCount();
    for (;;) {
      if (EndRequested()) return std::nullopt;
      DWORD left = milliseconds;
      if (milliseconds != kWaitForever) {
        DWORD spent = GetTickCount() - started;
        left = spent >= milliseconds ? 0 : milliseconds - spent;
      }
      if (((input && !input_fits) || (g_end_event != nullptr && !end_fits)) && left > 50) left = 50;
      if (input && KeyPending()) return std::nullopt;
      DWORD waited =
          WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, left);
      // The end event, or input: a key, or an event passed over.
      if (waited >= WAIT_OBJECT_0 + count && waited < WAIT_OBJECT_0 + handles.size()) continue;
      if (waited == WAIT_TIMEOUT) {
        if (milliseconds != kWaitForever && GetTickCount() - started >= milliseconds) {
          return std::nullopt;
        }
        continue;
      }
      return EndOf(waited, handles, count);
    }
  }

  bool WaitForKey(uint32_t milliseconds) override {
    if (g_input == INVALID_HANDLE_VALUE) return false;
    HANDLE handles[2] = {g_input, g_end_event};
    DWORD count = g_end_event != nullptr ? 2 : 1;
    DWORD started = GetTickCount();
    for (;;) {
      if (EndRequested()) return false;
      if (KeyPending()) return true;
      DWORD left = milliseconds;
      if (milliseconds != kWaitForever) {
        DWORD spent = GetTickCount() - started;
        if (spent >= milliseconds) return false;
        left = milliseconds - spent;
      }
      if (WaitForMultipleObjects(count, handles, FALSE, left) == WAIT_FAILED) return false;
    }
  }

  void StopChildren() override {
    // The job holds whatever the children started, too.
    if (job_.valid()) TerminateJobObject(job_.get(), 1);
    for (const Child& child : children_) TerminateProcess(child.process.get(), 1);
    bool foreground = AnyInForeground();
    for (const Child& child : children_) WaitForSingleObject(child.process.get(), INFINITE);
    children_.clear();
    if (foreground) TakeConsoleInputBack();
  }

  void Sleep(uint32_t milliseconds) override {
    if (g_end_event == nullptr) return ::Sleep(milliseconds);
    WaitForSingleObject(g_end_event, milliseconds);
  }

  std::optional<EndRequest> EndRequested() override {
    switch (static_cast<DWORD>(g_end_event_type)) {
      case 0: return std::nullopt;
      // The console closing is the terminal hanging up.
      case CTRL_CLOSE_EVENT + 1: return EndRequest{"CTRL_CLOSE_EVENT", 128 + 1};
      case CTRL_LOGOFF_EVENT + 1: return EndRequest{"CTRL_LOGOFF_EVENT", 128 + 15};
      default: return EndRequest{"CTRL_SHUTDOWN_EVENT", 128 + 15};
    }
  }

  LocalDateTime LocalNow() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }

 private:
  // GetDateFormatA and GetTimeFormatA in the system default locale, with
  // room for 63 characters; "" when the text does not fit or cannot be made.
  template <typename FormatCall>
  static std::string Format(FormatCall call, const CalendarTime& time, std::string_view picture) {
    SYSTEMTIME when = ToSystemTime(time);
    char text[64] = {};
    std::string format(picture);
    if (call(LOCALE_SYSTEM_DEFAULT, 0, &when, format.c_str(), text, 64) == 0) return "";
    return text;
  }

  // The child whose handle `waited` names ended (or the wait failed, and
  // the oldest is given up): it is forgotten and told of.
  EndedChild EndOf(DWORD waited, const std::vector<HANDLE>& handles, DWORD count) {
    std::size_t index = 0;
    ChildOutcome outcome;
    if (waited >= WAIT_OBJECT_0 && waited < WAIT_OBJECT_0 + count) {
      index = waited - WAIT_OBJECT_0;
      DWORD exit_code = 0;
      outcome = GetExitCodeProcess(handles[index], &exit_code)
                    ? FromExitCode(exit_code)
                    : NotRun(ChildOutcome::Kind::kLost, GetLastError());
    } else {
      outcome = NotRun(ChildOutcome::Kind::kLost,
                       waited == WAIT_FAILED ? GetLastError() : ERROR_INVALID_HANDLE);
    }
    Child& child = children_[index];
    EndedChild ended{child.id, outcome, child.background ? OutputTail(child.output.get()) : ""};
    bool foreground = !child.background;
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
    if (foreground && !AnyInForeground()) TakeConsoleInputBack();
    return ended;
  }

  // Whether a key press waits in the console's input; the events before it
  // that are no key press (releases, the mouse, focus) are taken away.
  static bool KeyPending() {
    for (;;) {
      INPUT_RECORD record;
      DWORD count = 0;
      if (!PeekConsoleInputA(g_input, &record, 1, &count) || count == 0) return false;
      if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
          !IsModifierKey(record.Event.KeyEvent.wVirtualKeyCode)) {
        return true;
      }
      ReadConsoleInputA(g_input, &record, 1, &count);
    }
  }

  struct Child {
    ChildId id;
    ScopedHandle process;
    bool background;
    ScopedHandle output;  // a background child's output file
  };

  bool AnyInForeground() const {
    return std::any_of(children_.begin(), children_.end(),
                       [](const Child& child) { return !child.background; });
  }

  // An inheritable copy of one of the program's own handles; none for none.
  static ScopedHandle InheritableCopy(HANDLE handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
      return ScopedHandle(INVALID_HANDLE_VALUE);
    }
    return ScopedHandle(copy);
  }

  // The job every child runs in. It kills what it holds when its last
  // handle closes, so no child runs on after the program, however the
  // program ends; nullptr where the system refuses one.
  HANDLE Job() {
    if (job_.get() != nullptr) return job_.valid() ? job_.get() : nullptr;
    job_ = ScopedHandle(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job_.valid() || !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation,
                                                  &limits, sizeof limits)) {
      job_ = ScopedHandle(INVALID_HANDLE_VALUE);
    }
    return job_.valid() ? job_.get() : nullptr;
  }

  static void SetInheritable(const ScopedHandle& input, const ScopedHandle& output, bool on) {
    for (const ScopedHandle* handle : {&input, &output}) {
      if (handle->valid())
        SetHandleInformation(handle->get(), HANDLE_FLAG_INHERIT, on ? HANDLE_FLAG_INHERIT : 0);
    }
  }

  // A file for a child's output in the temporary folder, gone when closed.
  static ScopedHandle OutputFile() {
    char folder[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "sm", 0, name) == 0) {
      return ScopedHandle(INVALID_HANDLE_VALUE);
    }
    return ScopedHandle(CreateFileA(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  }

  // The last bytes a background child wrote, up to 64 KiB.
  static std::string OutputTail(HANDLE file) {
    constexpr LONGLONG kKept = 64 * 1024;
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) return "";
    LARGE_INTEGER from;
    from.QuadPart = size.QuadPart > kKept ? size.QuadPart - kKept : 0;
    if (!SetFilePointerEx(file, from, nullptr, FILE_BEGIN)) return "";
    std::string tail(static_cast<std::size_t>(size.QuadPart - from.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file, tail.data(), static_cast<DWORD>(tail.size()), &got, nullptr)) return "";
    tail.resize(got);
    return tail;
  }

  // The program a command names, found as the command interpreter finds
  // it: a name with a directory part there, a bare name in the current
  // directory and then in each entry of PATH (quotes around an entry
  // removed, empty entries skipped); a name without an extension with each
  // extension of PATHEXT in turn. The answer spells the name as the
  // directory does.
  std::optional<std::string> FindProgram(const std::string& name) {
    std::size_t last = name.find_last_of("\\/:");
    std::vector<std::string> dirs;
    if (last != std::string::npos) {
      dirs.push_back("");
    } else if (!name.empty()) {
      dirs.push_back(CurrentDirectory());
      for (std::string entry : SplitList(EnvironmentVariable("PATH").value_or(""))) {
        std::erase(entry, '"');
        if (!entry.empty()) dirs.push_back(std::move(entry));
      }
    }
    std::vector<std::string> extensions = {""};
    if (name.find('.', last == std::string::npos ? 0 : last + 1) == std::string::npos) {
      std::string pathext = EnvironmentVariable("PATHEXT").value_or("");
      extensions = SplitList(pathext.empty() ? ".COM;.EXE;.BAT;.CMD" : pathext);
    }
    for (const std::string& dir : dirs) {
      for (const std::string& extension : extensions) {
        std::string path = dir.empty() ? name + extension : JoinPath(dir, name + extension);
        FileEntry entry;
        if (FindFirst(path, &entry) && (entry.attributes & kAttributeDirectory) == 0) {
          return path.substr(0, path.find_last_of("\\/:") + 1) + entry.name;
        }
      }
    }
    return std::nullopt;
  }

  // Only the command interpreter runs these, and it would read every name
  // and setting in the line as commands.
  static bool IsBatchFile(const std::string& path) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".bat" || tail == ".cmd";
  }

  static ChildOutcome NotRun(ChildOutcome::Kind kind, DWORD error) {
    return ChildOutcome{kind, 0, SystemErrorText(error)};
  }

  // The program that could not be started is named: in the system's words
  // where they have a place for it, else before them.
  static ChildOutcome CannotStart(const std::string& program, DWORD error) {
    bool inserted = false;
    std::string text = SystemErrorText(error, program, &inserted);
    if (!inserted && !program.empty()) text = program + ": " + text;
    return ChildOutcome{ChildOutcome::Kind::kCannotStart, 0, text};
  }

  // Only the system's own code for a console interrupt is read here; what
  // any other code means is the program's business.
  static ChildOutcome FromExitCode(DWORD code) {
    using Kind = ChildOutcome::Kind;
    return {code == kCtrlBreakExit ? Kind::kCtrlBreak : Kind::kExited, code, ""};
  }

  static void LendConsoleInput() {
    if (g_input != INVALID_HANDLE_VALUE) SetConsoleMode(g_input, g_input_mode);
  }

  static void TakeConsoleInputBack() {
    if (g_input != INVALID_HANDLE_VALUE) SetConsoleMode(g_input, 0);
  }

  bool session_started_ = false;
  ScopedHandle job_{nullptr};               // nullptr until made, invalid when refused
  std::optional<std::string> saved_title_;  // the console's title before ours
  std::vector<Child> children_;             // started and not yet waited for, oldest first
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace slidemill
