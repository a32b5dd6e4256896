#include "app/option_lists.h"

#include "app/options.h"

namespace slidemill {
namespace {

// The names of the options of `kind`, as the alternatives of a case label.
std::string CaseLabel(OptionKind kind) {
  std::string label;
  for (const OptionInfo* option : OptionsByName()) {
    if (option->kind == kind) label += (label.empty() ? "" : " | ") + option->name;
  }
  return label;
}

std::string Branch(OptionKind kind, const std::string& body) {
  std::string label = CaseLabel(kind);
  return label.empty() ? "" : "    " + label + ")\n" + body + "      return ;;\n";
}

}  // namespace

std::string BashCompletion() {
  std::string names, choices;
  for (const OptionInfo* option : OptionsByName()) {
    names += (names.empty() ? "" : " ") + option->name;
    if (option->kind != OptionKind::kChoice) continue;
    std::string words;
    for (const std::string& choice : option->choices) words += (words.empty() ? "" : " ") + choice;
    choices += "    " + option->name + ")\n      mapfile -t COMPREPLY < <(compgen -W '" + words +
               "' -- \"$cur\")\n      return ;;\n";
  }
  const std::string files = "      compopt -o filenames 2>/dev/null\n";
  return "# Bash completion for slidemill, made from its table of options when it is built.\n"
         "# Installed as share/bash-completion/completions/slidemill.\n\n"
         "_slidemill() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
         "  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
         "  COMPREPLY=()\n"
         "  case $prev in\n" +
         Branch(OptionKind::kFile,
                files + "      mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n") +
         Branch(OptionKind::kDirectory,
                files + "      mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")\n") +
         choices + "    # A value of one's own: nothing sensible to offer.\n" +
         Branch(OptionKind::kText, "") + Branch(OptionKind::kInteger, "") +
         "  esac\n"
         "  mapfile -t COMPREPLY < <(compgen -W '" +
         names +
         "' -- \"$cur\")\n"
         "}\n"
         "complete -F _slidemill slidemill\n";
}

std::string FuzzDictionary() {
  std::string dictionary = "# Option names and the values of choices, from the table of options.\n";
  for (const OptionInfo* option : OptionsByName()) {
    dictionary += '"' + option->name + "\"\n";
    for (const std::string& choice : option->choices) dictionary += '"' + choice + "\"\n";
  }
  return dictionary;
}

}  // namespace slidemill
