// The manual page and the bash completion name the commands and options the
// command table has, each command with its own options, and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "cli/command_table.h"

namespace {

typedef std::map<std::string, std::set<std::string>> CommandOptions;

CommandOptions FromTable() {
  CommandOptions table;
  for (u32 i = 0; i < kCommandRowCount; ++i) {
    std::set<std::string>& options = table[kCommandRows[i].name];
    for (const OptionRow& o : kOptionRows)
      if (kCommandRows[i].options & OptionBit(o.id)) options.insert(o.name);
  }
  return table;
}

// Every "Fl NAME" on a line of mdoc as it prints: "Fl n" is -n, "Fl \-all" --all.
void AddFlags(const std::string& line, std::set<std::string>* flags) {
  std::istringstream words(line);
  std::string word, previous;
  while (words >> word) {
    if (previous == "Fl" || previous == ".Fl") {
      std::string name = "-";
      for (size_t i = 0; i < word.size(); ++i)
        if (!(word[i] == '\\' && i + 1 < word.size() && word[i + 1] == '-')) name += word[i];
      flags->insert(name);
    }
    previous = word;
  }
}

// The SYNOPSIS: each ".Nm" / ".Cm COMMAND" block's flags; and the flags the
// Options section describes.
void FromManual(CommandOptions* synopsis, std::set<std::string>* described) {
  std::ifstream page(MELVIR_SOURCE_DIR "/cli/melvir.1");
  ASSERT_TRUE(page) << "cli/melvir.1";
  std::string line, section, subsection, command;
  while (std::getline(page, line)) {
    if (line.rfind(".Sh ", 0) == 0) section = line.substr(4);
    if (line.rfind(".Ss ", 0) == 0) subsection = line.substr(4);
    if (section == "SYNOPSIS") {
      if (line == ".Nm") command.clear();
      else if (line.rfind(".Cm ", 0) == 0) command = line.substr(4);
      else if (!command.empty()) AddFlags(line, &(*synopsis)[command]);
      if (line.rfind(".Cm ", 0) == 0) (*synopsis)[command];
    }
    if (section == "DESCRIPTION" && subsection == "Options" && line.rfind(".It Fl ", 0) == 0)
      AddFlags(line, described);
  }
}

std::string Bash(const std::string& script) {
  std::string command = "bash -c 'source " MELVIR_SOURCE_DIR "/cli/melvir.bash; " + script + "'";
  std::FILE* p = popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  size_t n;
  while (p && (n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  EXPECT_TRUE(p != nullptr) << script;
  if (p) {
    EXPECT_EQ(pclose(p), 0) << script;
  }
  return out;
}

std::set<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> words;
  std::string w;
  while (in >> w) words.insert(w);
  return words;
}

}  // namespace

TEST(CommandTable, ManualAndCompletionNameWhatTheTableHas) {
  CommandOptions table = FromTable();
  std::set<std::string> every;
  for (const auto& c : table) every.insert(c.second.begin(), c.second.end());
  // Every command takes these, outside the table.
  const std::set<std::string> global = {"--help", "--version"};

  CommandOptions synopsis;
  std::set<std::string> described;
  FromManual(&synopsis, &described);
  for (const std::string& g : global) described.erase(g);
  EXPECT_EQ(described, every) << "the manual's Options section";
  CommandOptions tableCommands = table;
  tableCommands["help"];  // help has a synopsis of its own, with no options
  EXPECT_EQ(synopsis, tableCommands) << "the manual's SYNOPSIS";

  std::string names;
  for (const auto& c : table) names += c.first + " ";
  EXPECT_EQ(Words(Bash("_melvir_commands")), Words(names)) << "the completion's commands";
  for (const auto& c : table) {
    if (c.first == "help") continue;
    std::set<std::string> completed = Words(Bash("_melvir_options " + c.first));
    for (const std::string& g : global) EXPECT_EQ(completed.erase(g), 1u) << c.first << " " << g;
    EXPECT_EQ(completed, c.second) << "the completion of " << c.first;
    for (const std::string& option : c.second) {
      // The row of that name the command takes: a name may mean another thing elsewhere.
      bool value = false;
      for (const OptionRow& o : kOptionRows)
        if (option == o.name && (CommandNamed(c.first.c_str())->options & OptionBit(o.id)))
          value = o.takesValue;
      bool completedValue =
          Bash("_melvir_takes_value " + c.first + " " + option + " && echo yes || echo no") == "yes\n";
      EXPECT_EQ(completedValue, value) << option << " takes a value";
    }
  }
}
