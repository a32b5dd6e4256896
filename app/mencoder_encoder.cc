#include "app/mencoder_encoder.h"

#include "app/command_template.h"
#include "platform/path_rules.h"

namespace slidemill {
namespace {

// mencoder finishes its file and exits with this when Ctrl-C reaches it.
constexpr uint32_t kInterruptedExit = 2;

// Every JPG of the directory, in any letter case, as the program counts
// them. Where names mind case, so does mencoder's wildcard.
std::string Input() {
  return NativePathRules().names_ignore_case ? "mf://*.jpg" : "mf://*.[jJ][pP][gG]";
}

class MencoderEncoder : public Encoder {
 public:
  std::string_view name() const override { return "mencoder"; }
  std::string_view log_name() const override { return "Mencoder"; }
  std::string_view default_video_filename() const override { return "_movie.avi"; }
  std::string_view default_codec() const override { return "mjpeg"; }

  // The command's template, placeholders filled in their order; the video
  // is the part name, a whole argument.
  EncodePlan Plan(const Settings& settings, const EncodeRequest& request) const override {
    std::string command = "{0} \"" + Input() +
                          "\" -o \"{VideoFilename}\" -mf fps={VideoFramesPerSecond} "
                          "-ovc lavc -lavcopts vcodec={VideoCodec}";
    if (!settings.SubtitleText.empty()) {
      command +=
          " -font \"{SubtitleFontFile}\" -sub \"{SRTFilename}\" -subalign 2 "
          "-subfont-autoscale 0 -subfont-text-scale {SubtitleFontSize}";
    }
    TemplateValues values{request.program, request.video, true, request.font, request.dir};
    return {SplitMarkingQuotes(FillTemplate(std::move(command), settings, values)),
            {},
            request.photos.size()};
  }

  ExitMeaning MeaningOf(uint32_t exit_code) const override {
    if (exit_code == 0) return ExitMeaning::kSuccess;
    return exit_code == kInterruptedExit ? ExitMeaning::kInterrupted : ExitMeaning::kFailed;
  }
};

}  // namespace

const Encoder& Mencoder() {
  static const MencoderEncoder encoder;
  return encoder;
}

}  // namespace slidemill
