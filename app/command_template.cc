#include "app/command_template.h"

#include <algorithm>

#include "platform/path_rules.h"

namespace slidemill {
namespace {

// Replaces a placeholder in the pieces that are not literal. A literal value
// becomes a piece of its own; other text joins its neighbours, so a later
// placeholder is found wherever the text would show it.
void ReplaceInPieces(std::vector<CommandPiece>& pieces, std::string_view placeholder,
                     const std::string& value, bool literal) {
  std::vector<CommandPiece> result;
  auto append = [&result](std::string_view text, bool is_literal) {
    if (text.empty()) return;
    if (!is_literal && !result.empty() && !result.back().literal) {
      result.back().text += text;
    } else {
      result.push_back(CommandPiece{std::string(text), is_literal});
    }
  };
  for (const CommandPiece& piece : pieces) {
    if (piece.literal) {
      result.push_back(piece);
      continue;
    }
    std::string_view text = piece.text;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(placeholder, from)) != std::string_view::npos;
         from = at + placeholder.size()) {
      append(text.substr(from, at - from), false);
      append(value, literal);
    }
    append(text.substr(from), false);
  }
  pieces = std::move(result);
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view value) {
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(placeholder, from)) != std::string_view::npos;
       from = at + placeholder.size()) {
    result.append(text.substr(from, at - from));
    result.append(value);
  }
  result.append(text.substr(from));
  return result;
}

std::vector<CommandPiece> FillTemplate(std::string text, const Settings& settings,
                                       const TemplateValues& values) {
  bool titles = !settings.SubtitleText.empty();
  std::vector<CommandPiece> pieces = {CommandPiece{std::move(text), false}};
  // File paths are whole arguments; what the user typed into the other
  // settings splits as written, so a codec setting can carry more options.
  ReplaceInPieces(pieces, "{0}", values.program, true);
  ReplaceInPieces(pieces, "{VideoFilename}", values.video, values.video_literal);
  if (titles) {
    ReplaceInPieces(pieces, "{SubtitleFontFile}", values.font, true);
    ReplaceInPieces(pieces, "{SRTFilename}", settings.SRTFilename, false);
    ReplaceInPieces(pieces, "{SubtitleFontSize}", std::to_string(settings.SubtitleFontSize), false);
  }
  ReplaceInPieces(pieces, "{VideoFramesPerSecond}", std::to_string(settings.VideoFramesPerSecond),
                  false);
  ReplaceInPieces(pieces, "{VideoCodec}", settings.VideoCodec, false);
  ReplaceInPieces(pieces, "{Dir}", values.dir, true);
  return pieces;
}

std::string Joined(const std::vector<CommandPiece>& pieces) {
  std::string text;
  for (const CommandPiece& piece : pieces) text += piece.text;
  return text;
}

std::vector<CommandArgument> SplitMarkingQuotes(const std::vector<CommandPiece>& pieces) {
  std::string text = Joined(pieces);
  std::string_view rest = text;
  std::vector<CommandArgument> arguments;
  for (std::string& argument : SplitCommandPieces(pieces)) {
    while (rest.starts_with(' ')) rest.remove_prefix(1);
    bool quoted = rest.starts_with('"' + argument);
    rest.remove_prefix(std::min(rest.size(), argument.size() + (quoted ? 2 : 0)));
    arguments.push_back({std::move(argument), quoted});
  }
  return arguments;
}

std::string VideoName(std::string_view video_template, const Settings& settings,
                      const TemplateValues& values) {
  TemplateValues named = values;
  named.video = video_template;
  named.video_literal = false;
  return Joined(FillTemplate("{VideoFilename}", settings, named));
}

std::string PartName(std::string_view video_template, std::string_view tag) {
  // The extension is what follows the last dot of the last name; a dot
  // inside a placeholder's value is never taken for it.
  const PathRules& rules = NativePathRules();
  std::size_t name_start =
      video_template.find_last_of(std::string(rules.trim_set) + std::string(rules.split_set) + "}");
  std::size_t dot = video_template.rfind('.');
  if (dot == std::string_view::npos || (name_start != std::string_view::npos && dot < name_start)) {
    dot = video_template.size();
  }
  std::string part = std::string(video_template.substr(0, dot)) + ".slidemill-part";
  if (!tag.empty()) part += "-" + std::string(tag);
  return part + std::string(video_template.substr(dot));
}

}  // namespace slidemill
