// A few words of a page around the first hit, the query's words marked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Search/IndexTerms.h"
#include "Search/WordSplitter.h"

// About this many bytes of text are shown; two lines in a browser.
inline constexpr size_t kSnippetBytes = 200;
// Of which up to this many come before the first hit.
inline constexpr size_t kSnippetLeadBytes = 60;

struct SnippetPiece {
    std::string Text;
    bool Marked = false;  // a word of the query
};

using Snippet = std::vector<SnippetPiece>;

// The words of `text` around the first word the query asks for (in any of its
// forms), or its start when none is. Cut text is shown as "…".
Snippet MakeSnippet(const WordSplitter& splitter, std::string_view text,
                    const std::vector<QueryWord>& words);

// The snippet's text without marks.
std::string PlainText(const Snippet& snippet);
