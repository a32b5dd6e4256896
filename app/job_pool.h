// The pool that runs up to -jobs encoders at once. A pool of one runs its
// encoder in the foreground, where the console's Ctrl-C reaches it; a
// larger pool runs them apart from the console, keeps their output aside
// and asks about Ctrl-C itself while they go on. Either way every encoder's
// end is judged here, in one place.
#ifndef SLIDEMILL_APP_JOB_POOL_H_
#define SLIDEMILL_APP_JOB_POOL_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/directory_job.h"

namespace slidemill {

enum class DirectoryResult {
  kContinue,  // on to the next directory
  kEndRun,    // an error was recorded, or the user chose to exit
};

class JobPool {
 public:
  // `slots` encoders at most run at once; a dry run starts none.
  JobPool(RunContext& context, std::size_t slots);
  ~JobPool();
  JobPool(const JobPool&) = delete;
  JobPool& operator=(const JobPool&) = delete;

  // Takes a directory through its job. Returns once a slot is free again,
  // having told of every encoder that ended meanwhile.
  DirectoryResult Process(const std::string& dir, cFile& file);
  // After the walk: waits for the encoders still running.
  DirectoryResult Finish();
  // Stops the encoders still running; their unfinished videos are removed,
  // and each one's log says why: the user's choice, or the signal that
  // ended the run.
  void Stop();

  // A photo directory that failed without an encoder started (its paths
  // too long, say): counted with the failed videos.
  void CountFailed();

  // Shows the progress in the console's title, against this many
  // directories to encode.
  void ShowProgress(int total);

  // Photo directories whose encoder was started or tried, and those of them
  // that have no video to show for it (failed, interrupted, not started, or
  // no video file made).
  int videos_tried() const { return videos_tried_; }
  int videos_failed() const { return videos_failed_; }

 private:
  struct Running {
    ChildId id = 0;
    std::unique_ptr<DirectoryJob> job;
  };

  DirectoryResult Start(std::unique_ptr<DirectoryJob> job);
  // Waits for one encoder to end, asking about Ctrl-C meanwhile when the
  // encoders run apart from the console; kEndRun when the run is asked to
  // end meanwhile.
  DirectoryResult WaitForOne();
  // Tells of the encoder that ended.
  DirectoryResult End(const EndedChild& ended);
  // Judges a job's encoder, says what became of it and acts on it.
  DirectoryResult Judge(DirectoryJob& job, const ChildOutcome& outcome, std::string_view output);
  void Counted(bool made);
  void UpdateProgress();

  RunContext& context_;
  const std::size_t slots_;
  const bool background_;
  std::vector<Running> running_;
  int videos_tried_ = 0;
  int videos_failed_ = 0;
  int videos_ended_ = 0;
  int progress_total_ = -1;  // no progress shown
};

// How many encoders run at once for -jobs `jobs` (0: one per processor).
std::size_t PoolSlots(int32_t jobs);
// The processors each of `slots` encoders may use, so that they do not
// fight over them; 0 for a single encoder, which may use them all.
unsigned EncoderThreads(std::size_t slots);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_JOB_POOL_H_
