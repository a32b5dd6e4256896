#include "app/encoder.h"

#include "app/ffmpeg_encoder.h"
#include "app/mencoder_encoder.h"
#include "platform/path_rules.h"

namespace slidemill {

std::string Encoder::path_option() const { return "-" + std::string(name()) + "-path"; }

std::string Encoder::default_program() const {
  return std::string(name()) + std::string(NativePathRules().executable_suffix);
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
