// The run's single error record. The first failure is recorded and nothing
// clears it; its code becomes the exit status.
#ifndef SLIDEMILL_APP_JOB_ERROR_H_
#define SLIDEMILL_APP_JOB_ERROR_H_

#include <cstdint>
#include <string>

#include "fileinfo/error_record.h"

namespace slidemill {

using JobError = ErrorRecord;

// Job error codes.
inline constexpr int32_t kErrorNone = 0;
inline constexpr int32_t kErrorAborted = 1;
inline constexpr int32_t kErrorInvalidArgument = 2;
inline constexpr int32_t kErrorTitleFile = 3;
inline constexpr int32_t kErrorJpgMetaData = 4;
inline constexpr int32_t kErrorStartingEncoder = 5;

// Not a job error: the exit status of a run that went through to its end
// while some of its videos were not made.
inline constexpr int32_t kStatusVideosFailed = 6;

// The message text of a code; "Invalid error code" for an unknown one.
std::string JobErrorText(int32_t code);

// Records the error; an empty message takes the code's own text. Answers the
// code.
int32_t SetJobError(JobError& error, int32_t code, const std::string& info,
                    const std::string& message = "");

inline bool HasJobError(const JobError& error) { return error.Code != 0; }

}  // namespace slidemill

#endif  // SLIDEMILL_APP_JOB_ERROR_H_
