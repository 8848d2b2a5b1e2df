// Which heading of a page a result stands under: the result links to its
// anchor and shows it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "Search/IndexTerms.h"
#include "Search/PageText.h"
#include "Search/WordSplitter.h"

inline constexpr size_t kNoSection = static_cast<size_t>(-1);

// The section of `page` (an index into its Sections) that holds the query
// best: the one whose heading or anchor names most of its words, else the
// first whose text holds the most of the words it asks for (WordsTogether).
// kNoSection when that is the page's first heading, which is the page
// itself, or none.
size_t SectionOfHit(const WordSplitter& splitter, const PageText& page,
                    const std::vector<QueryWord>& words);

// How many of the query's words a heading or its anchor names.
size_t WordsNamed(const WordSplitter& splitter, const PageSection& section,
                  const std::vector<QueryWord>& words);

// That, and whether it names each identifier of the query whole (true when
// the query has none).
struct SectionNaming {
    size_t Words = 0;
    bool Whole = true;
};
SectionNaming NamingOf(const WordSplitter& splitter, const PageSection& section,
                       const std::vector<QueryWord>& words);

// Whether the heading defines the name a query written as one asks for
// (QueryWord::Defined, its term): the name it defines, or its last parts, is
// that name, as the index's definition terms have it (`lxml.etree.XMLParser`
// for `XMLParser`, not `lxml.etree.ETCompatXMLParser`, which names it as well).
bool DefinesAsked(const WordSplitter& splitter, const PageSection& section, std::string_view asked);
