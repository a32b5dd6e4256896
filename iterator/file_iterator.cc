#include "iterator/file_iterator.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "fileinfo/error_record.h"
#include "pattern/pattern.h"
#include "platform/keys.h"

namespace slidemill {
namespace {

using It = cFileIterator;

// How the private steps of a move report to each other.
enum class StepResult {
  kOk,
  kScanFailed,  // the directory cannot be listed
  kEnd,         // nothing left in the queue
  kBreak,       // an enabled break key was pressed
};

constexpr int32_t kUnlimitedDepth = -1;

std::string ErrorText(int32_t code) {
  switch (code) {
    case It::ERR_ARGINVALIDTYPE(): return "Invalid argument type";
    case It::ERR_ARGOUTOFRANGE(): return "Argument out of range";
    case It::ERR_FILEINVALID(): return "Invalid file";
    case It::ERR_DIRINVALID(): return "Invalid directory";
    case It::ERR_STATEINVALID(): return "Invalid state";
    case It::ERR_PROPERTYINVALID(): return "Invalid property setting";
    case It::ERR_BREAKKEYPRESSED(): return "Break key pressed";
    default: return "";
  }
}

bool IsDirectory(const FileEntry& entry) { return (entry.attributes & kAttributeDirectory) != 0; }

}  // namespace

// Queue and file list hold compact entries (a FileEntry whose name is the
// full path); a full record, with its wide name field, is only made when a
// caller asks for an address.
struct cFileIterator::Impl {
  struct QueuedDir {
    FileEntry entry;  // `name` holds the directory's full path
    int32_t depth = 0;
    int32_t max_depth = kUnlimitedDepth;
  };

  Impl(Platform& platform_in, const PathRules& rules_in)
      : platform(platform_in),
        rules(rules_in),
        max_path_length(std::min(rules_in.name_field_size, kNameFieldSize) - 1) {}

  int32_t State() const {
    if (current_dir == -1) return STATE_READY();
    if (current_dir >= DirCount()) return STATE_COMPLETE();
    return STATE_ITERATING();
  }
  int32_t DirCount() const { return static_cast<int32_t>(visited.size() + pending.size()); }
  int32_t FileCount() const { return static_cast<int32_t>(files.size()); }
  // Only while iterating.
  QueuedDir& CurrentDir() { return visited.back(); }
  bool HasCurrentFile() const {
    return State() == STATE_ITERATING() && current_file >= 0 && current_file < FileCount();
  }

  void SetError(int32_t code, std::string info) { error.Set(code, std::move(info), "", ErrorText); }
  void ClearError() { error.Clear(); }

  void ResetQueue() {
    visited.clear();
    pending.clear();
    walked.clear();
    current_dir = -1;
  }
  void ResetFiles() {
    files.clear();
    current_file = -1;
  }

  // Find-first on the path itself. A root that the find cannot describe
  // (Windows answers nothing for "C:\" or "\\host\share") is still a
  // directory to walk.
  std::optional<FileEntry> LookupDir(const std::string& path) {
    FileEntry entry;
    if (!platform.FindFirst(path, &entry)) {
      if (path.empty() || !platform.DirectoryExists(path)) return std::nullopt;
      entry = FileEntry{};
      entry.attributes = kAttributeDirectory;
    }
    entry.name = path;
    return entry;
  }

  // Puts a block of directories at the end of the queue (gradual) or right
  // after the current directory (steep), in the block's own order.
  void QueueDirs(std::vector<FileEntry>& block, int32_t depth, int32_t max_depth,
                 int32_t queue_slope) {
    auto make = [&](FileEntry& entry) {
      QueuedDir queued;
      queued.entry = std::move(entry);
      queued.depth = depth;
      queued.max_depth = max_depth;
      return queued;
    };
    if (queue_slope == SLOPE_STEEP()) {
      for (auto it = block.rbegin(); it != block.rend(); ++it) pending.push_front(make(*it));
    } else {
      for (FileEntry& entry : block) pending.push_back(make(entry));
    }
  }

  // Takes note of a directory the walk takes; false, and noted as passed
  // over, when it is one the walk has already reached by another path (a
  // link, a mount): walking it again would make its video twice.
  bool FirstVisit(const FileEntry& entry, const std::string& path, bool say = true) {
    std::optional<FileIdentity> identity = entry.identity;
    if (!identity) identity = platform.DirectoryIdentity(path);
    if (!identity) return true;
    auto [known, added] = walked.try_emplace(*identity, path);
    if (!added && say) {
      passed_over.push_back({PassedOver::Why::kWalkedAlready, path, known->second});
    }
    return added;
  }

  // Lists the current directory once: its admitted subdirectories go into
  // the queue, its admitted files become the file list.
  StepResult ScanDirectory() {
    ResetFiles();
    listing.clear();
    const QueuedDir& current = CurrentDir();
    const std::string& dir_path = current.entry.name;
    std::string cause;
    switch (platform.ListDirectory(dir_path, &listing, &cause)) {
      case ListResult::kNotFound: return StepResult::kOk;
      case ListResult::kTooLong:
        passed_over.push_back({PassedOver::Why::kTooLong, dir_path, ""});
        return StepResult::kScanFailed;
      case ListResult::kFailed:
        // One that is gone since its parent was listed is no failure.
        if (platform.DirectoryExists(dir_path)) {
          passed_over.push_back({PassedOver::Why::kUnreadable, dir_path, cause});
        }
        return StepResult::kScanFailed;
      case ListResult::kOk: break;
    }
    const bool descend = current.max_depth == kUnlimitedDepth || current.max_depth > current.depth;
    const int32_t depth = current.depth;
    const int32_t max_depth = current.max_depth;
    std::vector<FileEntry> subdirs;
    for (FileEntry& entry : listing) {
      if (IsDirectory(entry)) {
        if (entry.name == "." || entry.name == ".." || !descend) continue;
        if (!filter_dir.empty() && !filter_dir_pattern.Found(entry.name)) continue;
        std::string path = JoinPath(dir_path, entry.name, rules);
        if (path.size() > max_path_length) {
          passed_over.push_back({PassedOver::Why::kTooLong, std::move(path), ""});
          continue;
        }
        if (!FirstVisit(entry, path)) continue;
        entry.name = std::move(path);
        subdirs.push_back(std::move(entry));
      } else {
        if (!filter_file.empty() && !filter_file_pattern.Found(entry.name)) continue;
        std::string path = JoinPath(dir_path, entry.name, rules);
        if (path.size() > max_path_length) continue;
        entry.name = std::move(path);
        files.push_back(std::move(entry));
      }
    }
    QueueDirs(subdirs, depth + 1, max_depth, slope);
    return StepResult::kOk;
  }

  int32_t ReadBreakKey() {
    for (;;) {
      std::string key = platform.ReadKey();
      if (key.empty()) return BREAKKEYS_NONE();
      if (key == kCtrlCKey) return BREAKKEYS_CTRL_C();
      if (key == kF4Key) return BREAKKEYS_ALT_F4();
    }
  }

  // Takes pending key presses up to and including the first enabled break
  // key; what was pressed after it stays pending for the caller.
  int32_t CheckBreakKeys() {
    for (;;) {
      int32_t key = ReadBreakKey();
      if (key == BREAKKEYS_NONE() || (break_keys & key) != 0) {
        break_key_last = key;
        return key;
      }
    }
  }

  bool BreakKeyPressed() { return break_handler != 0 && CheckBreakKeys() != BREAKKEYS_NONE(); }

  StepResult AdvanceDir(bool with_break_check) {
    for (;;) {
      if (with_break_check && BreakKeyPressed()) return StepResult::kBreak;
      ++current_dir;
      if (current_dir >= DirCount()) {
        current_dir = DirCount();
        ResetFiles();
        return StepResult::kEnd;
      }
      visited.push_back(std::move(pending.front()));
      pending.pop_front();
      // A directory that cannot be listed is passed over without an error;
      // the next round checks the keys again before trying the next one.
      if (ScanDirectory() == StepResult::kOk) return StepResult::kOk;
    }
  }

  StepResult AdvanceFile() {
    for (;;) {
      if (BreakKeyPressed()) return StepResult::kBreak;
      ++current_file;
      if (current_file >= FileCount()) {
        current_file = FileCount();
        if (AdvanceDir(false) == StepResult::kEnd) return StepResult::kEnd;
      }
      // A directory without files is passed through within the same step.
      if (current_file != -1) return StepResult::kOk;
    }
  }

  std::string DatePart(const FileEntry& entry, int32_t which_date, int32_t date_part,
                       std::optional<int32_t> utc) {
    if (which_date < DATE_CREATED() || which_date > DATE_ACCESSED()) return "";
    if (date_part < 0 || date_part > DATEPART_ALL()) return "";
    DirData record = MakeDirData(entry, "");
    std::string list = BuildDatePartList(record, which_date, utc.value_or(0), platform);
    if (date_part == DATEPART_ALL()) return list;
    // Only the twenty fields are answered, even where a locale's names hold
    // commas of their own.
    return date_part <= kDatePartCount ? PickDatePart(list, date_part) : "";
  }

  Platform& platform;
  const PathRules rules;
  // The longest path a record's name field holds.
  const std::size_t max_path_length;
  std::vector<PassedOver> passed_over;  // not yet taken
  // Every directory the walk has taken, by what it is, with its path.
  std::map<FileIdentity, std::string> walked;

  int32_t break_handler = 0;
  int32_t break_keys = BREAKKEYS_CTRL_C() + BREAKKEYS_ALT_F4();
  std::string filter_file;
  std::string filter_dir;
  // Compiled once per set; never searched while its text is empty.
  CompiledPattern filter_file_pattern;
  CompiledPattern filter_dir_pattern;
  int32_t slope = SLOPE_STEEP();

  // The queue is `visited` (indices 0 to CurrentDir, the current directory
  // last) followed by `pending`. Blocks go in at either end of `pending`, so
  // queueing right after the current directory costs no more than appending.
  std::deque<QueuedDir> visited;
  std::deque<QueuedDir> pending;
  int32_t current_dir = -1;
  std::vector<FileEntry> files;  // `name` holds the full path
  int32_t current_file = -1;
  std::vector<FileEntry> listing;  // kept to reuse its storage

  int32_t break_key_last = BREAKKEYS_NONE();
  ErrorRecord error;

  // The records whose addresses DIRDIRDATA and FILEDIRDATA hand out;
  // aligned so that the packed record's 32-bit fields are too.
  alignas(8) DirData dir_record;
  alignas(8) DirData file_record;
};

cFileIterator::cFileIterator(Platform& platform, const PathRules& rules)
    : impl_(std::make_unique<Impl>(platform, rules)) {
  INIT();
}

cFileIterator::~cFileIterator() = default;

int32_t cFileIterator::ADDDIR(const DirPathArgument& DIRPATH, std::optional<int32_t> MAXDEPTH,
                              std::optional<int32_t> QUEUENEXT) {
  Impl& it = *impl_;
  if (it.State() == STATE_COMPLETE()) {
    it.SetError(ERR_STATEINVALID(), "");
    return 0;
  }
  const int32_t max_depth = MAXDEPTH.value_or(kUnlimitedDepth);
  const bool queue_next = QUEUENEXT.value_or(0) != 0;
  if (max_depth < kUnlimitedDepth) {
    it.SetError(ERR_ARGOUTOFRANGE(), "MaxDepth");
    return 0;
  }
  it.ClearError();

  std::vector<std::string> one_path;
  const std::vector<std::string>* paths = nullptr;
  if (const auto* text = std::get_if<std::string>(&DIRPATH)) {
    one_path.push_back(*text);
    paths = &one_path;
  } else if (const auto* list = std::get_if<std::vector<std::string>>(&DIRPATH)) {
    paths = list;
  } else if (std::holds_alternative<std::monostate>(DIRPATH)) {
    return 0;
  } else {
    it.SetError(ERR_ARGINVALIDTYPE(), "DirPath");
    return 0;
  }

  std::vector<FileEntry> found;
  std::string missing;
  bool any_missing = false;
  for (const std::string& given : *paths) {
    std::string path = TrimTrailingSeparators(given, it.rules);
    // Never cut: a path the record cannot hold is passed over like a
    // subdirectory's.
    if (path.size() > it.max_path_length) {
      it.passed_over.push_back({PassedOver::Why::kTooLong, std::move(path), ""});
      continue;
    }
    if (std::optional<FileEntry> entry = it.LookupDir(path)) {
      it.FirstVisit(*entry, path, false);  // so that links back to it are known
      found.push_back(std::move(*entry));
    } else {
      if (any_missing) missing += ';';
      missing += path;
      any_missing = true;
    }
  }
  const auto queued = static_cast<int32_t>(found.size());
  it.QueueDirs(found, 0, max_depth, queue_next ? SLOPE_STEEP() : SLOPE_GRADUAL());
  if (any_missing) it.SetError(ERR_DIRINVALID(), missing);
  return queued;
}

int32_t cFileIterator::BREAKKEY_LAST() const { return impl_->break_key_last; }

std::string cFileIterator::DIRDATE(int32_t WHICHDATE, int32_t DATEPART,
                                   std::optional<int32_t> UTC) {
  if (impl_->State() != STATE_ITERATING()) return "";
  return impl_->DatePart(impl_->CurrentDir().entry, WHICHDATE, DATEPART, UTC);
}

const DirData* cFileIterator::DIRDIRDATA() {
  if (impl_->State() != STATE_ITERATING()) return nullptr;
  const FileEntry& entry = impl_->CurrentDir().entry;
  impl_->dir_record = MakeDirData(entry, entry.name);
  return &impl_->dir_record;
}

std::string cFileIterator::DIRPATH() const {
  if (impl_->State() != STATE_ITERATING()) return "";
  return impl_->visited.back().entry.name;
}

int32_t cFileIterator::ERRCODE() const { return impl_->error.Code; }
std::string cFileIterator::ERRINFO() const { return impl_->error.Info; }
int32_t cFileIterator::ERR_IS() const { return impl_->error.Flag(); }
std::string cFileIterator::ERRMSG() const { return impl_->error.Message; }

std::string cFileIterator::FILEDATE(int32_t WHICHDATE, int32_t DATEPART,
                                    std::optional<int32_t> UTC) {
  if (!impl_->HasCurrentFile()) return "";
  return impl_->DatePart(impl_->files[impl_->current_file], WHICHDATE, DATEPART, UTC);
}

const DirData* cFileIterator::FILEDIRDATA() {
  if (!impl_->HasCurrentFile()) return nullptr;
  const FileEntry& entry = impl_->files[impl_->current_file];
  impl_->file_record = MakeDirData(entry, entry.name);
  return &impl_->file_record;
}

std::string cFileIterator::FILEPATH() const {
  if (!impl_->HasCurrentFile()) return "";
  return impl_->files[impl_->current_file].name;
}

int64_t cFileIterator::FILESIZE() const {
  if (!impl_->HasCurrentFile()) return 0;
  return static_cast<int64_t>(impl_->files[impl_->current_file].size);
}

void cFileIterator::INIT() {
  Impl& it = *impl_;
  it.ResetQueue();
  it.ResetFiles();
  it.break_handler = 0;
  it.break_keys = BREAKKEYS_CTRL_C() + BREAKKEYS_ALT_F4();
  it.filter_dir.clear();
  it.filter_file.clear();
  it.filter_dir_pattern = CompiledPattern();
  it.filter_file_pattern = CompiledPattern();
  it.slope = SLOPE_STEEP();
  it.break_key_last = BREAKKEYS_NONE();
  it.ClearError();
}

std::string cFileIterator::MOVETONEXTDIR(std::optional<int32_t> ITERATECOUNT) {
  return Move(ITERATECOUNT, false);
}

std::string cFileIterator::MOVETONEXTFILE(std::optional<int32_t> ITERATECOUNT) {
  return Move(ITERATECOUNT, true);
}

std::string cFileIterator::Move(std::optional<int32_t> requested, bool files) {
  Impl& it = *impl_;
  int32_t count = requested.value_or(1);
  it.break_key_last = BREAKKEYS_NONE();
  if (count < 0) {
    it.SetError(ERR_ARGOUTOFRANGE(), "IterateCount");
    return "";
  }
  it.ClearError();
  if (it.State() == STATE_COMPLETE()) return "";
  for (; count > 0; --count) {
    switch (files ? it.AdvanceFile() : it.AdvanceDir(true)) {
      case StepResult::kEnd: return "";
      case StepResult::kBreak: it.SetError(ERR_BREAKKEYPRESSED(), ""); return "";
      case StepResult::kOk:
      case StepResult::kScanFailed: break;
    }
  }
  // A count of 0 before the first move has nothing to answer.
  return files ? FILEPATH() : DIRPATH();
}

void cFileIterator::NEWSESSION() {
  impl_->ResetQueue();
  impl_->ResetFiles();
  impl_->ClearError();
}

int32_t cFileIterator::BREAKHANDLER() const { return impl_->break_handler; }
void cFileIterator::BREAKHANDLER(int32_t value) { impl_->break_handler = value; }
int32_t cFileIterator::BREAKKEYS() const { return impl_->break_keys; }
void cFileIterator::BREAKKEYS(int32_t value) { impl_->break_keys = value; }

std::string cFileIterator::FILTER_DIR() const { return impl_->filter_dir; }

void cFileIterator::FILTER_DIR(const std::string& value) {
  if (impl_->State() != STATE_READY()) {
    impl_->SetError(ERR_STATEINVALID(), "");
    return;
  }
  impl_->filter_dir = value;
  impl_->filter_dir_pattern = CompiledPattern::Compile(value);
}

std::string cFileIterator::FILTER_FILE() const { return impl_->filter_file; }

void cFileIterator::FILTER_FILE(const std::string& value) {
  if (impl_->State() != STATE_READY()) {
    impl_->SetError(ERR_STATEINVALID(), "");
    return;
  }
  impl_->filter_file = value;
  impl_->filter_file_pattern = CompiledPattern::Compile(value);
}

int32_t cFileIterator::SLOPE() const { return impl_->slope; }

void cFileIterator::SLOPE(int32_t value) {
  if (value != SLOPE_GRADUAL() && value != SLOPE_STEEP()) {
    impl_->SetError(ERR_PROPERTYINVALID(), "Slope");
    return;
  }
  impl_->slope = value;
  impl_->ClearError();
}

int32_t cFileIterator::STATE() const { return impl_->State(); }

int32_t cFileIterator::DEPTH() const {
  if (impl_->State() != STATE_ITERATING()) return -1;
  return impl_->visited.back().depth;
}

std::vector<cFileIterator::PassedOver> cFileIterator::TakePassedOver() {
  return std::exchange(impl_->passed_over, {});
}

}  // namespace slidemill
