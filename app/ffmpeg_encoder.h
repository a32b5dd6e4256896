// ffmpeg: the list of a directory's photos, the filter that fits each photo
// into the frame and burns in the title, and the command. Names travel
// inside ffmpeg's own syntaxes, each with its own escaping.
#ifndef SLIDEMILL_APP_FFMPEG_ENCODER_H_
#define SLIDEMILL_APP_FFMPEG_ENCODER_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/encoder.h"
#include "app/jpeg_size.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace slidemill {

const Encoder& Ffmpeg();

// How many times (0 to 3) ffmpeg's JPEG decoder may halve a photo's size
// and still give at least as many pixels as the photo, upright or turned,
// is drawn with in the frame; 0 for a photo of unknown size.
int DecodeHalvings(std::optional<PixelSize> photo, int32_t frame_width, int32_t frame_height);

// A concat list of the photos, by their absolute paths, in the given order.
std::string ConcatList(const std::vector<std::string>& photos);

// An option value as one filter's argument inside a filter chain.
std::string EscapeFilterValue(std::string_view value);

// The full name of a TrueType or OpenType font from its bytes, as the
// renderer looks fonts up; "" when the bytes carry none.
std::string FontFullName(std::string_view font);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_FFMPEG_ENCODER_H_
