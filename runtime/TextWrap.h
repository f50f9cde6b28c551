#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// Breaks a label's text into lines no wider than `width`, at blanks. A run
// of blanks where a line breaks goes with the break, so a long run of blanks
// moves the next word to the start of the next line. A word wider than the
// line stands alone on it. `measure` gives the width of a piece of text.
template <typename Measure>
std::vector<std::string_view> wrapText(std::string_view text, int width, Measure measure)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0; // of the current line
    std::size_t end = text.find_first_of(' ', text.find_first_not_of(' '));
    if (end == std::string_view::npos)
        end = text.size();
    while (true) {
        const std::size_t next = text.find_first_not_of(' ', end);
        if (next == std::string_view::npos) {
            lines.push_back(text.substr(start, end - start));
            return lines;
        }
        std::size_t nextEnd = text.find(' ', next);
        if (nextEnd == std::string_view::npos)
            nextEnd = text.size();
        if (measure(text.substr(start, nextEnd - start)) > width) {
            lines.push_back(text.substr(start, end - start));
            start = next;
        }
        end = nextEnd;
    }
}

// A label's text as a screen reader should say it. A run of blanks there
// only lays the text out, moving the next word to the next line, and a
// braille display would show it as a row of empty cells, so each run becomes
// a comma and one blank, and the ends lose theirs.
inline std::string spokenText(std::string_view text)
{
    std::string spoken;
    for (std::size_t word = text.find_first_not_of(' '); word != std::string_view::npos;) {
        const std::size_t end = std::min(text.find(' ', word), text.size());
        const std::size_t next = text.find_first_not_of(' ', end);
        spoken.append(text.substr(word, end - word));
        if (next != std::string_view::npos)
            spoken.append(next - end > 1 ? ", " : " ");
        word = next;
    }
    return spoken;
}

} // namespace runtime
