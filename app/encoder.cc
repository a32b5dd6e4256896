#include "app/encoder.h"

#include <numeric>

#include "app/ffmpeg_encoder.h"
#include "app/mencoder_encoder.h"
#include "platform/path_rules.h"

namespace slidemill {

std::string Encoder::path_option() const { return "-" + std::string(name()) + "-path"; }

std::string Encoder::default_program() const {
  return std::string(name()) + std::string(NativePathRules().executable_suffix);
}

std::string PhotoRate(int32_t milliseconds) {
  int32_t divisor = std::gcd(1000, milliseconds);
  std::string per_second = std::to_string(1000 / divisor);
  return milliseconds == divisor ? per_second
                                 : per_second + "/" + std::to_string(milliseconds / divisor);
}

std::span<const Encoder* const> Encoders() {
  // One row per encoder; the first is the default.
  static const Encoder* const encoders[] = {&Mencoder(), &Ffmpeg()};
  return encoders;
}

const Encoder* FindEncoder(std::string_view name) {
  for (const Encoder* encoder : Encoders()) {
    if (encoder->name() == name) return encoder;
  }
  return nullptr;
}

}  // namespace slidemill
