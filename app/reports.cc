#include "app/reports.h"

#include <string>

#include "app/options.h"

namespace slidemill {
namespace {

// One "name: value" line of the settings report; the value in white.
void SettingLine(Output& out, std::string_view name, std::string_view value) {
  out.ConsoleWrite(name);
  out.ConsoleWrite(": ");
  out.SetTextColor(TextColor::kEmphasis);
  out.ConsoleWrite(value);
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
}

void Heading(Output& out, std::string_view text) {
  out.SetTextColor(TextColor::kSuccess);
  out.ConsoleWrite(text);
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
}

void Paragraph(Output& out, std::string_view text) {
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(text);
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
}

}  // namespace

void PrintSettings(const Settings& s, Output& out) {
  out.ConsoleLine(TextColor::kSuccess, "Settings");
  out.ConsoleLineEnd();
  for (const OptionInfo& option : Options()) {
    if (std::optional<std::string> value = option.shown(s)) SettingLine(out, option.name, *value);
  }
}

void PrintUsage(Output& out) {
  out.ConsoleLineEnd();
  Heading(out, "Purpose");
  Paragraph(out, "This utility assembles JPG images into videos.");
  Heading(out, "Usage");
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(kProductName);
  out.ConsoleWrite(" [options...]");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  Paragraph(out, "Options:");
  for (const OptionInfo* option : OptionsByName()) {
    out.SetTextColor(TextColor::kEmphasis);
    out.ConsoleWrite(option->name);
    out.ConsoleWrite(" ");
    out.SetTextColor(TextColor::kNormal);
    out.ConsoleWrite(option->description);
    out.ConsoleLineEnd();
  }
  out.ConsoleLineEnd();
  Heading(out, "About");
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite(kProductName);
  out.ConsoleWrite(" Version ");
  out.ConsoleWrite(kVersion);
  out.ConsoleWrite(" by the Slidemill developers (see the README that comes with it) ");
  out.ConsoleLineEnd();
  out.ConsoleWrite("Website: the Slidemill project's own repository");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite("No warranty is expressed or implied. Use at your own risk.");
  out.ConsoleLineEnd();
  out.ConsoleWrite("Copyright (c) 2026 the Slidemill developers.");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kSupport);
  out.ConsoleWrite("Has this program helped you?");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.ConsoleWrite("Tell us what worked and what did not: a report with the command");
  out.ConsoleLineEnd();
  out.ConsoleWrite("line and the log file helps us make Slidemill better.");
  out.ConsoleLineEnd();
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
  out.ConsoleWrite("Visit: the Slidemill repository and its issue tracker");
  out.ConsoleLineEnd();
  out.SetTextColor(TextColor::kNormal);
}

void PrintVersion(Output& out) {
  out.ConsoleWrite(kVersion);
  out.ConsoleLineEnd();
}

}  // namespace slidemill
