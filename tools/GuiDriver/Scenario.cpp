#include "Scenario.h"

#include <stdlib.h>

#include <fstream>

static std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t close = text[i] == '$' && i + 1 < text.size() && text[i + 1] == '{' ? text.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i];
            continue;
        }
        const char* value = getenv(text.substr(i + 2, close - i - 2).c_str());
        out += value ? value : "";
        i = close;
    }
    return out;
}

bool SplitWords(const std::string& line, std::vector<std::string>& words) {
    const std::string text = ExpandEnvironment(line);
    words.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        std::string word;
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) return false;
                if (text[i] == '"' && !(i + 1 < text.size() && text[i + 1] == '"')) break;
                if (text[i] == '"') ++i;
                word += text[i];
            }
            ++i;
        } else {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t') word += text[i++];
        }
        words.push_back(word);
    }
    return true;
}

bool ReadScenario(const std::string& path, std::vector<ScenarioLine>& lines, std::string& error) {
    std::ifstream in(path.c_str());
    if (!in) {
        error = "cannot read the scenario " + path;
        return false;
    }
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        ScenarioLine line{number, text, {}};
        if (!SplitWords(text, line.words)) {
            error = "line " + std::to_string(number) + ": a quote is not closed";
            return false;
        }
        if (!line.words.empty() && line.words[0][0] != '#') lines.push_back(line);
    }
    return true;
}
