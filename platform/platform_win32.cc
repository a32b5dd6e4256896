// The Win32 platform: the console, its control handler and the file services
// by their own names.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/platform.h"

namespace slidemill {
namespace {

// Reports Ctrl-C, Ctrl-Break and console close as handled and does nothing
// else, so none of them ends the program while a child sharing the console
// still receives them.
BOOL WINAPI ControlHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      return TRUE;
    default:
      return FALSE;
  }
}

// A Win32 handle that closes itself.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Win32ConsoleSession : public ConsoleSession {
 public:
  Win32ConsoleSession() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(out, &output_mode_)) {
      output_ = out;
      SetConsoleMode(out, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
    }
    SetConsoleCtrlHandler(ControlHandler, TRUE);
    // The console's own input, not standard input, which may be redirected:
    // mode 0 lets Ctrl-C arrive as the key with code 3.
    input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (input_ != INVALID_HANDLE_VALUE && GetConsoleMode(input_, &input_mode_)) {
      SetConsoleMode(input_, 0);
    } else if (input_ != INVALID_HANDLE_VALUE) {
      CloseHandle(input_);
      input_ = INVALID_HANDLE_VALUE;
    }
  }

  ~Win32ConsoleSession() override {
    if (input_ != INVALID_HANDLE_VALUE) {
      SetConsoleMode(input_, input_mode_);
      CloseHandle(input_);
    }
    SetConsoleCtrlHandler(ControlHandler, FALSE);
    if (output_ != nullptr) SetConsoleMode(output_, output_mode_);
  }

 private:
  HANDLE output_ = nullptr;
  DWORD output_mode_ = 0;
  HANDLE input_ = INVALID_HANDLE_VALUE;
  DWORD input_mode_ = 0;
};

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

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetConsoleMode(handle, &mode);
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
    HANDLE handle = GetStdHandle(stream == ConsoleStream::kOutput
                                     ? STD_OUTPUT_HANDLE
                                     : STD_ERROR_HANDLE);
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

  void SetTextColor(int attribute) override {
    // The console that shows colours is standard output's, else standard
    // error's.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!IsConsole(out)) out = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(out)) SetConsoleTextAttribute(out, static_cast<WORD>(attribute & 0x0F));
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
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool FileExists(const std::string& path) override {
    // "C:" names a drive's current directory, never a file.
    if (!path.empty() && path.back() == ':') return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    constexpr DWORD kVolumeLabel = 0x8;
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel)) == 0;
  }

  std::string FontsFolder() override {
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, 0, folder))) return "";
    return folder;
  }

  bool AppendToFile(const std::string& path, std::string_view bytes) override {
    // Opened without sharing and closed again, so the file is complete on disk
    // after every line.
    ScopedHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    while (!bytes.empty()) {
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, nullptr) ||
          written == 0) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool FindFirst(const std::string& path, FileEntry* entry) override {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    FillEntry(data, entry);
    return true;
  }

  bool FileTimeToCalendar(uint64_t file_time, bool local, CalendarTime* time) override {
    FILETIME when = ToFileTime(file_time);
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&when, &utc)) return false;
    SYSTEMTIME result = utc;
    // No zone given: the one in force at the moment of the call.
    if (local && !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &result)) return false;
    *time = {result.wYear, result.wMonth, result.wDayOfWeek, result.wDay,
             result.wHour, result.wMinute, result.wSecond, result.wMilliseconds};
    return true;
  }

  std::string FormatDate(const CalendarTime& time, std::string_view picture) override {
    SYSTEMTIME when = ToSystemTime(time);
    char text[64] = {};
    std::string format(picture);
    if (GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, &when, format.c_str(), text, 64) == 0) {
      return "";
    }
    return text;
  }

  std::string FormatTime(const CalendarTime& time, std::string_view picture) override {
    SYSTEMTIME when = ToSystemTime(time);
    char text[64] = {};
    std::string format(picture);
    if (GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &when, format.c_str(), text, 64) == 0) {
      return "";
    }
    return text;
  }

  LocalDateTime LocalNow() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }

 private:
  bool session_started_ = false;
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace slidemill
