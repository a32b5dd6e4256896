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

// The encoder command for directory `dir`: the template for titles or the
// plain one, placeholders replaced in their order. The directory's path
// stays a literal piece, so splitting never breaks it apart.
std::vector<CommandPiece> BuildEncoderCommand(const Settings& settings,
                                              const std::string& encoder,
                                              const std::string& font_file,
                                              const std::string& input_pattern,
                                              const std::string& dir);

// The video's name as the encoder is told it (relative to the directory
// unless absolute): -video-filename with the later placeholders filled.
std::string VideoName(const Settings& settings, const std::string& encoder,
                      const std::string& font_file, const std::string& dir);

class VideoJob {
 public:
  VideoJob(Platform& platform, Output& output, const Settings& settings, JobError& error)
      : platform_(platform), output_(output), settings_(settings), error_(error) {}

  // Runs the job for directory `dir`; answers true when the run must end
  // (an error was recorded).
  bool ProcessDirectory(const std::string& dir, cFile& file);

  // Photo directories whose encoder was started or tried, and those of them
  // that have no video to show for it (failed, interrupted, not started, or
  // no video file made).
  int videos_tried() const { return videos_tried_; }
  int videos_failed() const { return videos_failed_; }

 private:
  // The name of the directory's first JPG: not a directory, not hidden or a
  // system file; "" when there is none.
  std::string FirstJpg(const std::string& dir);
  // Writes the title file; false (with the error recorded) when it cannot.
  bool WriteTitle(const std::string& dir, const std::string& jpg, cFile& file);
  void ConsoleLine(int color, std::string_view text);

  Platform& platform_;
  Output& output_;
  const Settings& settings_;
  JobError& error_;
  int videos_tried_ = 0;
  int videos_failed_ = 0;
};

}  // namespace slidemill

#endif  // SLIDEMILL_APP_VIDEO_JOB_H_
