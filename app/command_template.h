// Command templates: placeholders replaced in their order, the result split
// into a program's arguments by the program's own rule. A path put in
// becomes a literal piece, so its spaces and quotes never split it.
#ifndef SLIDEMILL_APP_COMMAND_TEMPLATE_H_
#define SLIDEMILL_APP_COMMAND_TEMPLATE_H_

#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/settings.h"

namespace slidemill {

// Replaces every occurrence of `placeholder`, left to right; the inserted
// text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view placeholder, std::string_view value);

// The values a template's placeholders take besides the settings.
struct TemplateValues {
  std::string program;  // {0}
  std::string video;    // {VideoFilename}
  bool video_literal = false;
  std::string font;  // {SubtitleFontFile}
  std::string dir;   // {Dir}
};

// Fills a template's placeholders in their order: {0}, {VideoFilename},
// with titles {SubtitleFontFile}, {SRTFilename} and {SubtitleFontSize},
// then {VideoFramesPerSecond}, {VideoCodec}, {Dir}. A value that holds a
// later placeholder has it filled too.
std::vector<CommandPiece> FillTemplate(std::string text, const Settings& settings,
                                       const TemplateValues& values);

// The pieces' text as one.
std::string Joined(const std::vector<CommandPiece>& pieces);

// The arguments split from the pieces, each marked when the pieces' text
// writes it in double quotes, so that its one-line form is that text again.
std::vector<CommandArgument> SplitMarkingQuotes(const std::vector<CommandPiece>& pieces);

// A video's name as the encoder is told it (relative to the directory
// unless absolute): a -video-filename template with the placeholders after
// {VideoFilename} filled.
std::string VideoName(std::string_view video_template, const Settings& settings,
                      const TemplateValues& values);

// The name an encoder writes a video under until it is finished: beside
// it, with the same extension, so that a half-made video never has the
// final name, and with the run's `tag`, so that two runs never write the
// same file. Made from the -video-filename template.
std::string PartName(std::string_view video_template, std::string_view tag = "");

}  // namespace slidemill

#endif  // SLIDEMILL_APP_COMMAND_TEMPLATE_H_
