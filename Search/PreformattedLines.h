// What the lines of a page's preformatted text are: a source file's code, or
// prose set in a fixed-width font (manual pages, plain-text manuals, RFCs),
// which is documentation like any other page's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class LineKind { Code, Prose, Other };

// One line, without its end: code ends in a bracket or a statement's ";",
// opens with a comment's mark or a keyword, or binds a name; prose is a
// sentence of five words or more, two of them the language's small words
// ("the", "of", "to"), without any of code's marks.
LineKind KindOfLine(std::string_view line);

// Counts the lines of preformatted text as its characters arrive, in pieces.
class PreformattedLines {
  public:
    void Add(std::string_view characters);
    // The end of a block: its last line ends there.
    void EndBlock() {
        EndLine();
        afterRuler_ = false;
    }
    // More lines of code than of prose.
    bool MostlyCode() const { return code_ > prose_; }
    // Whether the next characters start a line.
    bool AtLineStart() const { return line_.empty(); }
    // Whether the last line that held text was a ruler: a line of "=" alone,
    // nearly as long as a page is wide, with which plain-text manuals set off
    // each section; its heading is the next line that holds text.
    bool AfterRuler() const { return afterRuler_; }

  private:
    void EndLine();
    std::string line_;  // the start of the current line, at most kMaxLineBytes
    size_t code_ = 0;
    size_t prose_ = 0;
    bool afterRuler_ = false;
};
