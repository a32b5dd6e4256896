// One photo directory's way through a run: announced, its photos found,
// its title written, its encoder's command made; and, once the encoder has
// ended, its outcome judged: the video put in place or the part removed,
// and what became of it said.
#ifndef SLIDEMILL_APP_DIRECTORY_JOB_H_
#define SLIDEMILL_APP_DIRECTORY_JOB_H_

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/encoder.h"
#include "app/job_error.h"
#include "app/output.h"
#include "app/photos.h"
#include "app/settings.h"
#include "fileinfo/file.h"

namespace slidemill {

// What a title's placeholders stand for: the first photo's dates (day and
// month without a leading zero, the year in four digits) and its folder's
// own name.
struct TitleValues {
  std::string day_modified, month_modified, year_modified;
  std::string day_taken, month_taken, year_taken;
  std::string folder;
};

// The subtitle with its placeholders replaced, each once, in their order:
// {CRLF}, the modification's {DayModified}, {MonthModified},
// {YearModified}, the capture's {DayTaken}, {MonthTaken}, {YearTaken}, and
// {Folder}.
std::string ExpandTitle(const std::string& subtitle, const TitleValues& values);

// How a directory that cannot be worked on for the length of a path is
// told of, before its path.
inline constexpr std::string_view kTooLongText = "Passed over, its path is too long: ";

// The last `count` lines of an encoder's output; a line redrawn with
// carriage returns counts as what it showed last.
std::vector<std::string> LastLines(std::string_view output, std::size_t count);

// What every directory's job of a run shares.
struct RunContext {
  Platform& platform;
  Output& output;
  const Settings& settings;
  const Encoder& encoder;
  JobError& error;
  // In the part names of the run's videos: no other run writes those files.
  std::string part_tag = "";
  // The videos the run has set out to make, by absolute path.
  std::set<std::string> videos = {};
  unsigned encoder_threads = 0;  // the processors each encoder may use; 0: as many as it likes
};

// A tag for a run's part names: eight random hexadecimal digits.
std::string NewPartTag();

// What became of a directory's encoder.
struct Verdict {
  bool made = false;    // the video is in place
  std::string text;     // in the log's words
  bool shown = false;   // a single job shows the words in red as well
  std::string warning;  // about a video made, in the log's words
  // How it ended, its exit code read as the encoder means it: an
  // interrupting code is Ctrl-C.
  ChildOutcome outcome;
};

class DirectoryJob {
 public:
  DirectoryJob(RunContext& context, std::string dir);

  enum class Prepared {
    kNothingToDo,  // no photo, a video to pass over, or a dry run
    kFailed,       // the encoder cannot be given what it needs: a failed video
    kEndRun,       // an error was recorded that ends the run
    kReady,        // the encoder can be started with `arguments()`
  };
  // Announces the directory and readies everything its encoder needs.
  Prepared Prepare(cFile& file);

  // What a run would do with the directory: its photos found, its paths
  // made and its encoder's plan, without announcing anything.
  enum class Found {
    kNoPhotos,
    kSkipped,  // its video exists and is to be passed over
    kTooLong,  // a path it would use is longer than the system takes
    kPlanned,  // it would be encoded
  };
  Found Find();
  // How much work its encoder would have, to start the largest first: each
  // photo counts its bytes (decoding it) and a megabyte (encoding its
  // frame). 0 when a run would not encode the directory.
  uint64_t Workload();

  const std::string& dir() const { return dir_; }
  const std::vector<CommandArgument>& arguments() const { return plan_.arguments; }

  // Judges the encoder's end, with the last of its output when it was kept,
  // and writes the directory's log lines.
  Verdict Conclude(const ChildOutcome& outcome, std::string_view output);
  // The encoder was stopped: nothing to judge, everything it wrote goes,
  // and the log says `why`.
  void Abandon(std::string_view why);
  // Writes the log lines held so far.
  void WriteLog() { log_.Write(); }

 private:
  // The programs and paths a directory's command is made of.
  struct Paths {
    std::string program, font, absolute_dir;
    std::string video;  // as the program reaches it
  };

  // A green heading, a blank line, then the lines in their colour.
  void Block(std::string_view heading, TextColor color, const std::vector<std::string_view>& lines);
  // A failure that does not end the run: in light red, and in the log.
  void Fail(std::string_view text);
  // The files named as photos, in the system's order: not directories, not
  // hidden or system files; with the sum of their sizes in `bytes`.
  std::vector<std::string> PhotoNames(uint64_t* bytes = nullptr);
  // Those that are readable files starting as a JPEG, each other one said
  // and passed over; with their capture times for -photo-order taken.
  std::vector<Photo> ReadPhotos(const std::vector<std::string>& names);
  Paths PathsFor();
  // Whether a path fits the system's limit both as it is used here and in
  // its absolute form: the encoder is given that, and the system makes a
  // relative path absolute before it judges its length.
  bool Fits(const std::string& path);
  // Whether every path the job would use fits: the longest photo, the title
  // with the temporary name it is written under first, the part and the
  // video.
  bool PathsFit();
  // The title, dated from the first photo; nothing (with the error
  // recorded) when the photo cannot be looked up.
  std::optional<std::string> TitleText(Photo& first, const std::string& absolute_dir, cFile& file);
  // Writes the title file; false (reported) when it cannot be written.
  bool WriteTitle(const std::string& title);
  // Claims the video for this directory; false (reported) when another
  // directory of the run makes it already.
  bool ClaimVideo();
  // What is wrong with the video the encoder made, in the log's words; ""
  // when it is whole. A whole one with fewer frames than planned leaves
  // `warning`.
  std::string VideoProblem(std::string* warning);
  // Writes the list of photos the encoder reads, in the temporary folder,
  // with a link for each name that a list's line cannot hold; false
  // (reported) when one cannot be made.
  bool WriteEncoderFiles(EncodeRequest& request);
  void RemoveEncoderFiles();
  std::optional<uint64_t> FileSize(const std::string& path);

  RunContext& context_;
  Platform& platform_;
  Output& output_;
  const Settings& settings_;
  const std::string dir_;
  HeldLog log_;
  std::vector<std::string> names_;  // named as photos
  uint64_t photo_bytes_ = 0;        // their sizes
  Paths paths_;
  std::string encoder_video_;  // the part, as the encoder is given it
  EncodePlan plan_;
  std::vector<std::string> encoder_files_;  // written for the encoder, removed after it
  std::string video_, part_;                // the final name, and the name written until done
};

}  // namespace slidemill

#endif  // SLIDEMILL_APP_DIRECTORY_JOB_H_
