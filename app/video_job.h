// What happens in each directory: the announcement, the first JPG, the title
// file, the encoder command, the encoder run and its outcome, the pause.
#ifndef SLIDEMILL_APP_VIDEO_JOB_H_
#define SLIDEMILL_APP_VIDEO_JOB_H_

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
std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view value);

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

enum class DirectoryResult {
  kContinue,  // on to the next directory
  kEndRun,    // an error was recorded, or the user chose to exit
};

class VideoJob {
 public:
  VideoJob(Platform& platform, Output& output, const Settings& settings, JobError& error)
      : platform_(platform), output_(output), settings_(settings), error_(error) {}

  // Runs the job for directory `dir`.
  DirectoryResult ProcessDirectory(const std::string& dir, cFile& file);

  // Photo directories whose encoder was started or tried, and those of them
  // that have no video to show for it (failed, interrupted, not started, or
  // no video file made).
  int videos_tried() const { return videos_tried_; }
  int videos_failed() const { return videos_failed_; }

 private:
  // What the encoder is started with, and the video it is to make.
  struct Encoding {
    std::vector<CommandArgument> arguments;
    std::string video;
    std::string list_file;  // ffmpeg's list of photos, removed after the run
    std::string list_error;  // why the list could not be written
  };

  // A green heading, a blank line, then the text in its colour.
  void Block(std::string_view heading, TextColor color, std::string_view text);
  void Announce(const std::string& dir);
  // The name of the directory's first JPG: not a directory, not hidden or a
  // system file; "" when there is none.
  std::string FirstJpg(const std::string& dir);
  // Writes the title file; false (with the error recorded) when it cannot.
  bool WriteTitle(const std::string& dir, const std::string& jpg, cFile& file);
  Encoding PrepareEncoding(const std::string& dir);
  // The photos ffmpeg is given: the JPGs the program counts, by name.
  std::vector<std::string> Photos(const std::string& dir);
  void PrepareFfmpeg(const std::string& absolute_dir, const std::string& encoder,
                     const std::string& video, Encoding& encoding);
  bool UsesFfmpeg() const { return settings_.Encoder == kEncoderFfmpeg; }
  // Shows the command, starts the encoder in `dir` and waits for it.
  ChildOutcome RunEncoder(const std::vector<CommandArgument>& arguments, const std::string& dir);
  DirectoryResult ReportOutcome(const ChildOutcome& outcome, const std::string& video);
  // Whether a reported success left a video with something in it.
  bool VideoMade(const std::string& video);
  void Pause();

  Platform& platform_;
  Output& output_;
  const Settings& settings_;
  JobError& error_;
  int videos_tried_ = 0;
  int videos_failed_ = 0;
};

}  // namespace slidemill

#endif  // SLIDEMILL_APP_VIDEO_JOB_H_
