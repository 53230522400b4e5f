// Scenario files of the GUI driver: one action per line, words separated by
// blanks, "double quotes" around a word with blanks (a doubled quote inside
// stands for one), ${NAME} replaced by the environment variable NAME, and
// "#" starting a comment line. See docs/ui.md for the actions.
#ifndef TARV_GUIDRIVER_SCENARIO_H
#define TARV_GUIDRIVER_SCENARIO_H

#include <string>
#include <vector>

struct ScenarioLine {
    int number;                      // 1-based line in the file
    std::string text;                // as written
    std::vector<std::string> words;  // the action first
};

// The action lines of the file; false (with `error` set) when it cannot be
// read or a quote is not closed.
bool ReadScenario(const std::string& path, std::vector<ScenarioLine>& lines, std::string& error);
// The words of one line, ${NAME} expanded; false when a quote is not closed.
bool SplitWords(const std::string& line, std::vector<std::string>& words);

#endif
