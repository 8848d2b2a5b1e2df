// The part of a page's title that names the page: without what every page of
// the site repeats ("... - Rust", "... — Python 3.11 documentation",
// "Project: ...").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a title starts or ends with beside its own name, at most.
inline constexpr size_t kMaxSiteMarks = 64;

// The ends of titles that many of `titles` share: a site's name, a book's;
// and a start that gives a version ("Soup – 3.0: ..."), shared by a few.
std::vector<std::string> CommonTitleEnds(const std::vector<std::string>& titles);

// `title` without the first of `ends` it starts or ends with.
std::string_view OwnTitle(std::string_view title, const std::vector<std::string>& ends);

// The name of the page within its own title: up to the first separator
// ("argparse — Parser for command-line options": argparse), or the item
// before " in " of its module, as rustdoc writes ("HashMap in
// std::collections": HashMap).
std::string_view PageName(std::string_view ownTitle);

// Whether a page's own title (OwnTitle) is that of release notes: a
// changelog, "What's new in 2.4", "Django 3.2.7 release notes", "Release
// 15.9", or a version alone ("8.3.1"). They mention every part of a project
// in passing, in short pages.
bool IsReleaseNotes(std::string_view ownTitle);

// Whether a page's own title is that of the site's index of names, its
// search page or its licence ("Index", "Python Module Index", "Copying"), or
// that of one of a book's indexes ("Concept Index") on a page linking to at
// least kIndexPagesLinked others: pages that hold every word, or none a
// reader asks about.
inline constexpr int64_t kIndexPagesLinked = 32;
bool IsIndexOrLicence(std::string_view ownTitle, int64_t pagesLinked = 0);

// The name a page's file gives it: its last part without the extension, or
// the folder's for a folder's index page ("howto/static-files/index.html":
// static-files). Sites name files after what they hold as often as titles.
std::string_view FileName(std::string_view path);

// The words that many of the site's pages' file names (FileName) hold, folded
// to ASCII lower case: a project's own name ("git-branch", "gitignore"), where
// it stands before what each page is about.
std::vector<std::string> CommonNameWords(const std::vector<std::string_view>& fileNames);
