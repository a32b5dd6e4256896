#include "app/job_error.h"

namespace slidemill {

std::string JobErrorText(int32_t code) {
  switch (code) {
    case kErrorNone: return "";
    case kErrorAborted: return "Aborted by user";
    case kErrorInvalidArgument: return "Invalid argument";
    case kErrorTitleFile: return "Error opening title file";
    case kErrorJpgMetaData: return "Error reading JPG meta data";
    case kErrorStartingEncoder: return "Error starting encoder";
    default: return "Invalid error code";
  }
}

int32_t SetJobError(JobError& error, int32_t code, const std::string& info,
                    const std::string& message) {
  return error.Set(code, info, message, JobErrorText);
}

}  // namespace slidemill
