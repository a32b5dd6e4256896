#include "app/job_pool.h"

#include <algorithm>
#include <thread>

#include "app/interrupt.h"
#include "app/options.h"
#include "platform/keys.h"

namespace slidemill {

std::size_t PoolSlots(int32_t jobs) {
  std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
  std::size_t slots = jobs == 0 ? processors : static_cast<std::size_t>(jobs);
  return std::min(slots, static_cast<std::size_t>(kMaxJobs));
}

unsigned EncoderThreads(std::size_t slots) {
  if (slots <= 1) return 0;
  std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::max<std::size_t>(1, processors / slots));
}

JobPool::JobPool(RunContext& context, std::size_t slots)
    : context_(context), slots_(std::max<std::size_t>(slots, 1)), background_(slots > 1) {}

JobPool::~JobPool() { Stop(); }

DirectoryResult JobPool::Process(const std::string& dir, cFile& file) {
  auto job = std::make_unique<DirectoryJob>(context_, dir);
  switch (job->Prepare(file)) {
    case DirectoryJob::Prepared::kNothingToDo: job->WriteLog(); return DirectoryResult::kContinue;
    case DirectoryJob::Prepared::kEndRun: job->WriteLog(); return DirectoryResult::kEndRun;
    case DirectoryJob::Prepared::kFailed:
      job->WriteLog();
      CountFailed();
      return DirectoryResult::kContinue;
    case DirectoryJob::Prepared::kReady: break;
  }
  return Start(std::move(job));
}

DirectoryResult JobPool::Start(std::unique_ptr<DirectoryJob> job) {
  ++videos_tried_;
  ChildStart start = context_.platform.StartChild(job->arguments(), job->dir(), background_);
  if (start.id == 0) return Judge(*job, start.outcome, "");
  running_.push_back({start.id, std::move(job)});
  while (running_.size() >= slots_) {
    if (WaitForOne() == DirectoryResult::kEndRun) return DirectoryResult::kEndRun;
  }
  // Those that ended meanwhile are told at once.
  while (!running_.empty()) {
    std::optional<EndedChild> ended = context_.platform.WaitForChild(0, false);
    if (!ended) break;
    if (End(*ended) == DirectoryResult::kEndRun) return DirectoryResult::kEndRun;
  }
  return DirectoryResult::kContinue;
}

DirectoryResult JobPool::WaitForOne() {
  for (;;) {
    // One blocking call: an encoder's end, or a key while the encoders run
    // apart from the console.
    if (std::optional<EndedChild> ended =
            context_.platform.WaitForChild(kWaitForever, background_)) {
      return End(*ended);
    }
    if (context_.platform.EndRequested()) return DirectoryResult::kEndRun;
    for (std::string key; !(key = context_.platform.ReadKey()).empty();) {
      if (key == kCtrlCKey && AskToExit(context_.output, kCtrlCNotice, false)) {
        SetJobError(context_.error, kErrorAborted, "");
        return DirectoryResult::kEndRun;
      }
    }
  }
}

DirectoryResult JobPool::End(const EndedChild& ended) {
  auto found = std::ranges::find(running_, ended.id, &Running::id);
  if (found == running_.end()) {
    // The platform has no child left: nothing more can be learnt of these.
    if (ended.id == 0) {
      std::vector<Running> lost = std::move(running_);
      running_.clear();
      for (Running& running : lost) {
        if (Judge(*running.job, ended.outcome, "") == DirectoryResult::kEndRun) {
          return DirectoryResult::kEndRun;
        }
      }
    }
    return DirectoryResult::kContinue;
  }
  Running running = std::move(*found);
  running_.erase(found);
  return Judge(*running.job, ended.outcome, ended.output);
}

DirectoryResult JobPool::Judge(DirectoryJob& job, const ChildOutcome& ended,
                               std::string_view output) {
  using Kind = ChildOutcome::Kind;
  Verdict verdict = job.Conclude(ended, output);
  Counted(verdict.made);
  Output& out = context_.output;
  if (background_) {
    out.ConsoleLine(verdict.made ? TextColor::kSuccess : TextColor::kFailure,
                    job.dir() + ": " + verdict.text);
  } else if (verdict.made) {
    out.ConsoleLine(TextColor::kSuccess, "Movie encoding completed successfully.");
  } else if (verdict.shown) {
    out.ConsoleLine(TextColor::kFailure, verdict.text);
  }
  if (!verdict.warning.empty()) {
    out.ConsoleLine(TextColor::kSupport, (background_ ? job.dir() + ": " : "") + verdict.warning);
  }
  const ChildOutcome& outcome = verdict.outcome;
  if (outcome.kind == Kind::kCannotStart) {
    // It would fail the same way in every directory.
    SetJobError(context_.error, kErrorStartingEncoder, outcome.error);
    return DirectoryResult::kEndRun;
  }
  if (CheckEncoderInterrupt(out, outcome) == InterruptAnswer::kExit) {
    SetJobError(context_.error, kErrorAborted, "");
    return DirectoryResult::kEndRun;
  }
  // The pause follows every encoder that ran.
  if (outcome.kind != Kind::kNoDirectory && context_.settings.SleepTime > 0) {
    context_.platform.Sleep(static_cast<uint32_t>(context_.settings.SleepTime));
  }
  return DirectoryResult::kContinue;
}

DirectoryResult JobPool::Finish() {
  while (!running_.empty()) {
    if (WaitForOne() == DirectoryResult::kEndRun) return DirectoryResult::kEndRun;
  }
  return DirectoryResult::kContinue;
}

void JobPool::Stop() {
  if (running_.empty()) return;
  std::optional<EndRequest> end = context_.platform.EndRequested();
  const std::string why = end ? "Stopped by " + end->name + "." : "Aborted by user.";
  // Each one has ended when this returns, so what it wrote can go.
  context_.platform.StopChildren();
  for (Running& running : running_) {
    running.job->Abandon(why);
    Counted(false);
  }
  running_.clear();
}

void JobPool::CountFailed() {
  ++videos_tried_;
  Counted(false);
}

void JobPool::Counted(bool made) {
  if (!made) ++videos_failed_;
  ++videos_ended_;
  UpdateProgress();
}

void JobPool::ShowProgress(int total) {
  progress_total_ = total;
  UpdateProgress();
}

void JobPool::UpdateProgress() {
  if (progress_total_ < 0) return;
  context_.platform.ShowTitle("Slidemill: " + std::to_string(videos_ended_) + " of " +
                              std::to_string(progress_total_) + " directories, " +
                              std::to_string(videos_failed_) + " failed");
}

}  // namespace slidemill
