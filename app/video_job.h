// What happens in each directory: the announcement, the first JPG, the title
// file, the encoder command, the encoder run and its outcome, the pause.
#ifndef SLIDEMILL_APP_VIDEO_JOB_H_
#define SLIDEMILL_APP_VIDEO_JOB_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/job_error.h"
#include "app/output.h"
#include "app/settings.h"
#include "fileinfo/file.h"

namespace slidemill {

// Replaces every occurrence of `placeholder`, left to right; the inserted
// text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view placeholder, std::string_view value);

// The title file's text for a subtitle: one cue, shown from 0 to 99 hours,
// with {CRLF} and the three dates of the first JPG replaced.
std::string BuildTitleText(const std::string& subtitle, const std::string& day,
                           const std::string& month, const std::string& year);

// The encoder's arguments for directory `dir`: the template for titles or
// the plain one, placeholders replaced in their order, split by the
// program's own rule. The directory's path is never split apart.
std::vector<CommandArgument> BuildEncoderCommand(const Settings& settings,
                                                 const std::string& encoder,
                                                 const std::string& font_file,
                                                 const std::string& input_pattern,
                                                 const std::string& dir);

// The video's name as the encoder is told it (relative to the directory
// unless absolute): -video-filename with the later placeholders filled.
std::string VideoName(const Settings& settings, const std::string& encoder,
                      const std::string& font_file, const std::string& dir);

// The name an encoder writes a video under until it is finished: beside
// it, with the same extension, so that a half-made video never has the
// final name. Made from the -video-filename template.
std::string PartName(std::string_view video_template);

// The last `count` lines of an encoder's output; a line redrawn with
// carriage returns counts as what it showed last.
std::vector<std::string> LastLines(std::string_view output, std::size_t count);

enum class DirectoryResult {
  kContinue,  // on to the next directory
  kEndRun,    // an error was recorded, or the user chose to exit
};

class VideoJob {
 public:
  VideoJob(Platform& platform, Output& output, const Settings& settings, JobError& error);

  // Runs the job for directory `dir`. With more than one job the encoder is
  // left running, and this waits only while every job is busy.
  DirectoryResult ProcessDirectory(const std::string& dir, cFile& file);
  // After the walk: waits for the encoders still running.
  DirectoryResult FinishRunning();
  // Stops the encoders still running; their unfinished videos are removed.
  void StopRunning();

  // Whether a run would encode `dir`: it holds a JPG and its video is not to
  // be passed over.
  bool WouldEncode(const std::string& dir);
  // Shows the progress in the console's title, against this many
  // directories to encode.
  void ShowProgress(int total);

  // Photo directories whose encoder was started or tried, and those of them
  // that have no video to show for it (failed, interrupted, not started, or
  // no video file made).
  int videos_tried() const { return videos_tried_; }
  int videos_failed() const { return videos_failed_; }

 private:
  // What the encoder is started with, and the video it is to make.
  struct Encoding {
    std::vector<CommandArgument> arguments;
    std::string video;  // the final name, and the name written until done
    std::string part;
    std::string absolute_dir;  // where the photos are
    std::string list_file;     // ffmpeg's list of photos, removed after the run
  };
  // An encoder running in the background, and its directory's log lines.
  struct Running {
    ChildId id = 0;
    std::string dir;
    Encoding encoding;
    std::string log;
  };
  // What became of one directory's encoder, in words.
  struct Verdict {
    bool made = false;
    std::string text;    // the log's words
    bool shown = false;  // a single job shows the words in red as well
  };

  // The programs and paths a directory's command is made of.
  struct Paths {
    std::string encoder, font, absolute_dir;
    std::string video;  // as the program reaches it
  };

  // A green heading, a blank line, then the text in its colour.
  void Block(std::string_view heading, TextColor color, std::string_view text);
  void Announce(const std::string& dir);
  // The name of the directory's first JPG: not a directory, not hidden or a
  // system file; "" when there is none.
  std::string FirstJpg(const std::string& dir);
  // Writes the title file; false (with the error recorded) when it cannot.
  bool WriteTitle(const std::string& dir, const std::string& jpg, cFile& file);
  Paths PathsFor(const std::string& dir);
  Encoding PrepareEncoding(const std::string& dir);
  // The photos ffmpeg is given: the JPGs the program counts, by name.
  std::vector<std::string> Photos(const std::string& dir);
  void PrepareFfmpeg(const std::string& absolute_dir, const std::string& encoder,
                     const std::string& part, Encoding& encoding);
  // Writes ffmpeg's list of photos; false (reported) when it cannot be.
  bool WritePhotoList(const Encoding& encoding);
  bool UsesFfmpeg() const { return settings_.Encoder == kEncoderFfmpeg; }
  // The size of the file a path names; nothing when there is none (or it
  // is a directory).
  std::optional<uint64_t> FileSize(const std::string& path);
  void ShowCommand(const std::vector<CommandArgument>& arguments, bool would);
  // Starts the encoder in the background and waits while every job is busy.
  DirectoryResult StartInBackground(const std::string& dir, Encoding encoding, std::string log);
  // Waits for one background encoder to end; false when the run is to end.
  bool WaitForOne();
  // Tells of the background encoder that ends within `milliseconds`:
  // kEndRun when the run is to end; nothing when none ended.
  std::optional<DirectoryResult> EndOne(uint32_t milliseconds);
  // The running encoder the platform's id names, taken off the list.
  std::optional<Running> TakeRunning(ChildId id);
  // Concludes a background directory and writes its held log lines
  // together: the verdict, and when it failed the output's last lines.
  Verdict ConcludeRunning(Running& running, const ChildOutcome& outcome, std::string_view output);
  DirectoryResult EndOfBackground(Running& running, const EndedChild& ended);
  // Puts the finished video in place or removes the unfinished one, and
  // says what became of it.
  Verdict Conclude(const ChildOutcome& outcome, const Encoding& encoding);
  DirectoryResult Interrupted(const ChildOutcome& outcome);
  void Pause();
  void UpdateProgress();

  Platform& platform_;
  Output& output_;
  const Settings& settings_;
  JobError& error_;
  std::size_t jobs_ = 1;
  std::vector<Running> running_;
  int videos_tried_ = 0;
  int videos_failed_ = 0;
  int progress_total_ = -1;  // no progress shown
  int videos_ended_ = 0;
};

}  // namespace slidemill

#endif  // SLIDEMILL_APP_VIDEO_JOB_H_
