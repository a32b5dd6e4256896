// An encoder: the outside program that makes a directory's video. Each one
// is a unit of its own behind this interface; the job and the pool know
// none of them by name, and the table in encoder.cc lists them.
#ifndef SLIDEMILL_APP_ENCODER_H_
#define SLIDEMILL_APP_ENCODER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "platform/platform.h"

namespace slidemill {

// What a directory's encode is made of. Paths are absolute, but for the
// video, which is as the encoder is told it: relative to `dir` unless
// absolute.
struct EncodeRequest {
  std::string program;              // absolute, or a bare name found through the search path
  std::string dir;                  // the photo directory
  std::string video;                // the name written until the video is finished
  std::string title;                // the title file; "" without a title
  std::string font;                 // the title's font file; "" for the encoder's own
  std::vector<std::string> photos;  // in the order shown: names in `dir`, or absolute paths
  std::string photo_list;           // the file the encoder reads them from
  unsigned threads = 0;             // the processors it may use; 0: as many as it likes
};

struct EncodePlan {
  std::vector<CommandArgument> arguments;
  std::size_t frames = 0;  // the frames the finished video holds
};

// What an encoder means by the code it exits with.
enum class ExitMeaning {
  kSuccess,
  kInterrupted,  // Ctrl-C stopped it
  kFailed,
};

class Encoder {
 public:
  virtual ~Encoder() = default;

  // The value of -encoder, and the name the console shows ("Launching
  // mencoder with this command:").
  virtual std::string_view name() const = 0;
  // The name its failures are logged with ("Mencoder exited with an error
  // code: 1").
  virtual std::string_view log_name() const = 0;
  virtual std::string_view default_video_filename() const = 0;
  virtual std::string_view default_codec() const = 0;
  // Whether it fits every photo into the -video-size frame.
  virtual bool sizes_frame() const { return false; }

  // What the photo list holds; the encoder is handed exactly these photos.
  virtual std::string PhotoList(const EncodeRequest& request) const = 0;
  // Whether the list names each photo by its whole path, directory and all.
  virtual bool lists_whole_paths() const { return false; }
  // The command for one directory.
  virtual EncodePlan Plan(const Settings& settings, const EncodeRequest& request) const = 0;
  virtual ExitMeaning MeaningOf(uint32_t exit_code) const = 0;

  // Its path option ("-mencoder-path"), and the program run without one:
  // its name, found through the search path.
  std::string path_option() const;
  std::string default_program() const;
};

// Photos per second when each shows for `milliseconds`, as the fraction
// both encoders read: "2", "1/3".
std::string PhotoRate(int32_t milliseconds);

// Every encoder, the default first.
std::span<const Encoder* const> Encoders();
// The encoder of that name; nullptr for none.
const Encoder* FindEncoder(std::string_view name);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_ENCODER_H_
