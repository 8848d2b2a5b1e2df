// The name a definition term defines: `before_request` of
// "flask.Flask.before_request(f)", `toctree` of ".. toctree::", `getArgs` of
// "getArgs :: IO [String]". A reader who asks for just that name means the
// page that defines it, not the pages that use it.
#pragma once

#include <string>
#include <string_view>

// The name as the term writes it, with its modules ("flask.Flask.before_request");
// empty when the term defines no name (a phrase, "Environment variable").
std::string DefinedName(std::string_view term);

// Whether a name is written as code rather than as a word: parts joined by
// "_", "." or ":", a digit or a capital inside, and a letter somewhere
// (`task_acks_late`, `UTF-8`; not "8.3").
bool WrittenAsCode(std::string_view name);
