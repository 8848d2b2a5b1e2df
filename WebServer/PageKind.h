// What a page stands for: an entry's content, or a text said in its place.
#pragma once

enum class PageKind {
    Entry,     // the content of a found entry
    NotFound,  // the not-found text: no entry bears the path
    Damaged,   // the text for an entry whose recorded sizes the archive cannot back
    Made,      // made by the server for this request (the search): never validated
    Moved,     // a folder named without its closing "/": sent on to it
};
