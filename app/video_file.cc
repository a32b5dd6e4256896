#include "app/video_file.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/path_rules.h"

namespace slidemill {
namespace {

using State = VideoCheck::State;

// Far more headers than any encoder writes; past them the file is not read
// on, whatever its sizes say.
constexpr int kMostReads = 1 << 16;

uint64_t LittleEndian(std::string_view bytes) {
  uint64_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes[i]);
  return value;
}

uint64_t BigEndian(std::string_view bytes) {
  uint64_t value = 0;
  for (char byte : bytes) value = value << 8 | static_cast<uint8_t>(byte);
  return value;
}

// Bounded reads of the file: never past its end, never more than kMostReads.
class Reader {
 public:
  Reader(uint64_t size, const ReadAt& read) : size_(size), read_(read) {}

  uint64_t size() const { return size_; }
  bool spent() const { return reads_ > kMostReads; }

  // Exactly `count` bytes from `offset`, or nothing.
  std::optional<std::string> Read(uint64_t offset, std::size_t count) {
    if (offset > size_ || count > size_ - offset || ++reads_ > kMostReads) return std::nullopt;
    std::string bytes = read_(offset, count);
    if (bytes.size() != count) return std::nullopt;
    return bytes;
  }
  std::optional<uint64_t> Number(uint64_t offset, std::size_t count, bool big_endian) {
    std::optional<std::string> bytes = Read(offset, count);
    if (!bytes) return std::nullopt;
    return big_endian ? BigEndian(*bytes) : LittleEndian(*bytes);
  }

 private:
  const uint64_t size_;
  const ReadAt& read_;
  int reads_ = 0;
};

// A chunk or box: its four-letter type, where its data starts and where it
// ends.
struct Part {
  std::string type;
  uint64_t data = 0, end = 0;
};

// A number inside a part's data, or nothing where the part is too short.
std::optional<uint64_t> Field(Reader& reader, const Part& part, uint64_t at, std::size_t count,
                              bool big_endian) {
  if (part.end - part.data < at + count) return std::nullopt;
  return reader.Number(part.data + at, count, big_endian);
}

VideoCheck Unusable(const Reader& reader, std::string problem) {
  if (reader.spent()) problem = "it holds more headers than can be checked";
  return {State::kUnusable, std::move(problem), std::nullopt};
}

// Calls `each` for every RIFF chunk from `from` to `to` (an 8-byte header:
// type, little-endian size; data padded to an even length). False when a
// chunk does not fit.
template <typename Each>
bool ForEachChunk(Reader& reader, uint64_t from, uint64_t to, Each each) {
  while (from < to) {
    std::optional<std::string> header = to - from < 8 ? std::nullopt : reader.Read(from, 8);
    if (!header) return false;
    Part chunk{header->substr(0, 4), from + 8, from + 8 + LittleEndian(header->substr(4))};
    if (chunk.end > to) return false;
    if (!each(chunk)) return false;
    from = chunk.end + (chunk.end - chunk.data) % 2;
  }
  return true;
}

// A LIST chunk's own type ("hdrl"), or "" for another chunk.
std::string ListType(Reader& reader, const Part& chunk) {
  if (chunk.type != "LIST" || chunk.end - chunk.data < 4) return "";
  return reader.Read(chunk.data, 4).value_or("");
}

struct AviFound {
  bool index = false;
  std::optional<uint64_t> frames, extended_frames;
};

// The header list: the main header's frame count, an OpenDML total and
// super index where the file is that large.
bool ReadAviHeaders(Reader& reader, const Part& hdrl, AviFound& found) {
  return ForEachChunk(reader, hdrl.data + 4, hdrl.end, [&](const Part& chunk) {
    std::string list = ListType(reader, chunk);
    if (chunk.type == "avih") found.frames = Field(reader, chunk, 16, 4, false);
    if (list != "strl" && list != "odml") return true;
    return ForEachChunk(reader, chunk.data + 4, chunk.end, [&](const Part& inner) {
      if (inner.type == "indx") found.index = true;
      if (inner.type == "dmlh") found.extended_frames = Field(reader, inner, 0, 4, false);
      return true;
    });
  });
}

// RIFF 'AVI ', then RIFF 'AVIX' chunks past 1 GiB, end to end.
VideoCheck CheckAvi(Reader& reader) {
  AviFound found;
  bool first = true;
  bool fits = ForEachChunk(reader, 0, reader.size(), [&](const Part& riff) {
    std::string form = riff.end - riff.data < 4 ? "" : reader.Read(riff.data, 4).value_or("");
    if (riff.type != "RIFF" || form != (first ? "AVI " : "AVIX")) return false;
    if (!first) return true;
    first = false;
    return ForEachChunk(reader, riff.data + 4, riff.end, [&](const Part& chunk) {
      if (chunk.type == "idx1") found.index = true;
      return ListType(reader, chunk) != "hdrl" || ReadAviHeaders(reader, chunk, found);
    });
  });
  if (!fits) return Unusable(reader, "its RIFF chunks do not match the file's size");
  std::optional<uint64_t> frames = found.extended_frames ? found.extended_frames : found.frames;
  if (!frames) return Unusable(reader, "it has no AVI header");
  if (!found.index) return Unusable(reader, "it has no index");
  if (*frames == 0) return Unusable(reader, "it holds no frame");
  return {State::kWhole, "", frames};
}

// Calls `each` for every ISO box from `from` to `to` (a big-endian size that
// counts the header, 1 for a 64-bit size after the type, 0 for "to the
// end"). False when a box does not fit.
template <typename Each>
bool ForEachBox(Reader& reader, uint64_t from, uint64_t to, Each each) {
  while (from < to) {
    std::optional<std::string> header = to - from < 8 ? std::nullopt : reader.Read(from, 8);
    if (!header) return false;
    uint64_t size = BigEndian(header->substr(0, 4)), header_size = 8;
    if (size == 1) {
      std::optional<uint64_t> large =
          to - from < 16 ? std::nullopt : reader.Number(from + 8, 8, true);
      if (!large) return false;
      size = *large, header_size = 16;
    } else if (size == 0) {
      size = to - from;
    }
    if (size < header_size || size > to - from) return false;
    Part box{header->substr(4), from + header_size, from + size};
    if (!each(box)) return false;
    from = box.end;
  }
  return true;
}

// The samples of the first video track (a handler of type "vide"); none
// without a video track, unknown in a fragmented file, whose samples are
// counted in its fragments.
struct Samples {
  bool known = true;
  uint64_t count = 0;
};

Samples VideoSamples(Reader& reader, const Part& moov) {
  Samples samples;
  bool found = false;
  ForEachBox(reader, moov.data, moov.end, [&](const Part& box) {
    if (box.type == "mvex") samples.known = false;
    if (box.type != "trak" || found) return true;
    ForEachBox(reader, box.data, box.end, [&](const Part& mdia) {
      if (mdia.type != "mdia") return true;
      bool video = false;
      std::optional<uint64_t> count;
      ForEachBox(reader, mdia.data, mdia.end, [&](const Part& part) {
        if (part.type == "hdlr") video = Field(reader, part, 8, 4, true) == BigEndian("vide");
        if (part.type != "minf") return true;
        return ForEachBox(reader, part.data, part.end, [&](const Part& stbl) {
          if (stbl.type != "stbl") return true;
          return ForEachBox(reader, stbl.data, stbl.end, [&](const Part& table) {
            if (table.type == "stsz" || table.type == "stz2") {
              count = Field(reader, table, 8, 4, true);
            }
            return true;
          });
        });
      });
      if (video && count) found = true, samples.count = *count;
      return true;
    });
    return true;
  });
  return samples;
}

VideoCheck CheckIsoBoxes(Reader& reader) {
  std::optional<Part> moov;
  bool fits = ForEachBox(reader, 0, reader.size(), [&](const Part& box) {
    if (box.type == "moov" && !moov) moov = box;
    return true;
  });
  if (!fits) return Unusable(reader, "its boxes do not match the file's size");
  if (!moov) return Unusable(reader, "it has no moov box");
  Samples samples = VideoSamples(reader, *moov);
  if (!samples.known) return {State::kWhole, "", std::nullopt};
  if (samples.count == 0) return Unusable(reader, "it holds no frame");
  return {State::kWhole, "", samples.count};
}

// The boxes an ISO file (MP4, MOV) starts with.
bool IsFirstBoxType(std::string_view type) {
  constexpr std::array<std::string_view, 8> kTypes = {"ftyp", "moov", "mdat", "free",
                                                      "skip", "wide", "pnot", "styp"};
  return std::ranges::find(kTypes, type) != kTypes.end();
}

std::string LowerExtension(std::string_view name) {
  std::size_t dot = name.rfind('.'), separator = name.find_last_of(NativePathRules().split_set);
  bool has =
      dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator);
  std::string extension(has ? name.substr(dot) : "");
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

VideoCheck CheckVideo(std::string_view name, uint64_t size, const ReadAt& read) {
  if (size == 0) return {};
  Reader reader(size, read);
  // The content says what the file is: mencoder writes an AVI whatever
  // the name's extension.
  std::string head = read(0, std::min<uint64_t>(size, 12));
  if (head.size() == 12 && head.starts_with("RIFF") && head.substr(8) == "AVI ") {
    return CheckAvi(reader);
  }
  if (head.size() >= 8 && IsFirstBoxType(std::string_view(head).substr(4, 4))) {
    return CheckIsoBoxes(reader);
  }
  std::string extension = LowerExtension(name);
  if (extension == ".avi") return Unusable(reader, "it is not an AVI file");
  if (extension == ".mp4" || extension == ".m4v" || extension == ".mov") {
    return Unusable(reader, "it is not an MP4 or MOV file");
  }
  return {State::kWhole, "", std::nullopt};
}

}  // namespace slidemill
