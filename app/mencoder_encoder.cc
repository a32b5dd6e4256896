#include "app/mencoder_encoder.h"

#include "app/command_template.h"

namespace slidemill {
namespace {

// mencoder finishes its file and exits with this when Ctrl-C reaches it.
constexpr uint32_t kInterruptedExit = 2;

class MencoderEncoder : public Encoder {
 public:
  std::string_view name() const override { return "mencoder"; }
  std::string_view log_name() const override { return "Mencoder"; }
  std::string_view default_video_filename() const override { return "_movie.avi"; }
  std::string_view default_codec() const override { return "mjpeg"; }

  // One photo a line, as mencoder reads them where it runs.
  std::string PhotoList(const EncodeRequest& request) const override {
    std::string list;
    for (const std::string& photo : request.photos) list += photo + "\n";
    return list;
  }

  // The command's template, placeholders filled in their order; the video
  // is the part name, a whole argument.
  EncodePlan Plan(const Settings& settings, const EncodeRequest& request) const override {
    std::string rate = "{VideoFramesPerSecond}";
    std::size_t frames = request.photos.size();
    if (settings.PhotoMilliseconds > 0) {
      // The photos come at their own rate; each is repeated to fill the
      // video's frames, and a part frame at the end is left out.
      rate = PhotoRate(settings.PhotoMilliseconds) + " -ofps {VideoFramesPerSecond}";
      frames = frames * std::size_t(settings.PhotoMilliseconds) *
               std::size_t(settings.VideoFramesPerSecond) / 1000;
    }
    std::string command =
        "{0} -o \"{VideoFilename}\" -mf fps=" + rate + " -ovc lavc -lavcopts vcodec={VideoCodec}";
    if (!settings.SubtitleText.empty()) {
      // Autoscale 1 makes the size a percentage of the height. libass draws
      // the title from the first frame on (mencoder's own renderer begins
      // with the third), in white as before; without fontconfig a font file
      // is that file, not a family name to look up.
      command +=
          " -font \"{SubtitleFontFile}\" -sub \"{SRTFilename}\" -subalign 2 "
          "-subfont-autoscale 1 -subfont-text-scale {SubtitleFontSize} -ass -ass-color ffffff00";
      if (!request.font.empty()) command += " -nofontconfig";
    }
    TemplateValues values{request.program, request.video, true, request.font, request.dir};
    std::vector<CommandArgument> arguments =
        SplitMarkingQuotes(FillTemplate(std::move(command), settings, values));
    // Exactly the photos of the list, whose path is one argument.
    arguments.insert(arguments.begin() + 1, {"mf://@" + request.photo_list, true});
    return {std::move(arguments), frames};
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
