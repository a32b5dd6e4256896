// Feeds arbitrary bytes to the EXIF reader as a JPEG's start. Whatever they
// hold, it answers a date that exists, or none; it never reads past the
// bytes (the sanitizers watch) nor loops without end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "fileinfo/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace slidemill;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<CaptureTime> taken = ExifCaptureTime(bytes);
  if (taken && (!StartsLikeJpeg(bytes) || taken->month < 1 || taken->month > 12 || taken->day < 1 ||
                taken->day > 31 || taken->hour > 23 || taken->second > 60)) {
    std::abort();
  }
  return 0;
}
