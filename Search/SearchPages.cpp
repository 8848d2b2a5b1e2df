#include "Search/SearchPages.h"

#include <charconv>

#include "Search/SiteSearch.h"
#include "Search/TextEncoding.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Calls `each` with every valid UTF-8 sequence of `text`, and with U+FFFD for
// every byte that starts none.
template <typename Each>
void ForEachCharacter(std::string_view text, Each each) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text.substr(at));
        if (length == 0) {
            each(kReplacement);
            ++at;
        } else {
            each(text.substr(at, length));
            at += length;
        }
    }
}

std::string Thousands(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0) grouped += ',';
        grouped += digits[at];
    }
    return grouped;
}

std::string PageLink(std::string_view path, const std::string& query, uint32_t page) {
    return std::string(path.substr(path.rfind('/') + 1)) + "?q=" + PercentEncode(query, "") +
           "&page=" + std::to_string(page);
}

// The result's address: the page, at the heading its words stand under. An
// id's own characters are kept where a fragment allows them (rustdoc writes
// some already escaped).
std::string HitLink(const SearchHit& hit) {
    std::string link = "/";
    link += PercentEncode(hit.Path, "/");
    if (!hit.Anchor.empty()) {
        link += '#';
        link += PercentEncode(hit.Anchor, "%!$&'()*+,;=:@/?");
    }
    return link;
}

void AppendSnippetHtml(std::string& html, const Snippet& snippet) {
    for (const SnippetPiece& piece : snippet) {
        if (piece.Marked) html += "<mark>";
        html += EscapeHtml(piece.Text);
        if (piece.Marked) html += "</mark>";
    }
}

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;max-width:46em;margin:1em auto;padding:0 1em;line-height:1.4}"
    "form{display:flex;gap:.5em}input{flex:1;font-size:1.1em;padding:.3em}"
    "ol{padding-left:1.5em}li{margin:1em 0}.path{color:#060;font-size:.9em;"
    "overflow-wrap:anywhere}.section{font-size:.95em}.snippet{margin:.2em 0}mark{background:#fe6}"
    "nav{display:flex;gap:1em;margin:1em 0 2em}";

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    ForEachCharacter(text, [&](std::string_view character) {
        switch (character[0]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += character;
        }
    });
    return out;
}

std::string EscapeJson(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    ForEachCharacter(text, [&](std::string_view character) {
        const auto c = static_cast<unsigned char>(character[0]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static constexpr char kDigits[] = "0123456789abcdef";
            out += "\\u00";
            out += kDigits[c >> 4];
            out += kDigits[c & 0xF];
        } else {
            out += character;
        }
    });
    return out;
}

std::string PercentEncode(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
            keep.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

SearchRequest ParseSearchQuery(std::string_view queryString) {
    const auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    // Decodes at most `limit` bytes of output: the rest of a long value is
    // never looked at.
    const auto decode = [&](std::string_view value, size_t limit) {
        std::string out;
        for (size_t at = 0; at < value.size() && out.size() < limit; ++at) {
            const char c = value[at];
            if (c == '+') {
                out += ' ';
            } else if (c == '%' && at + 2 < value.size() && hexValue(value[at + 1]) >= 0 &&
                       hexValue(value[at + 2]) >= 0) {
                out += static_cast<char>(hexValue(value[at + 1]) * 16 + hexValue(value[at + 2]));
                at += 2;
            } else {
                out += c;
            }
        }
        return out;
    };
    SearchRequest request;
    bool queryTaken = false;
    bool pageTaken = false;
    while (!queryString.empty()) {
        const size_t end = std::min(queryString.find('&'), queryString.size());
        const std::string_view field = queryString.substr(0, end);
        queryString.remove_prefix(std::min(end + 1, queryString.size()));
        const size_t equals = std::min(field.find('='), field.size());
        const std::string_view name = field.substr(0, equals);
        const std::string_view value = field.substr(std::min(equals + 1, field.size()));
        if (name == "q" && !queryTaken) {
            request.Query = decode(value, kMaxQueryBytes);
            queryTaken = true;
        } else if (name == "page" && !pageTaken) {
            uint32_t page = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), page);
            if (error == std::errc() && end == value.data() + value.size() && page >= 1 &&
                page <= kMaxResultPage) {
                request.Page = page;
            }
            pageTaken = true;
        }
    }
    return request;
}

std::string SearchResultsHtml(const SearchAnswer& answer, std::string_view root) {
    const std::string query = EscapeHtml(answer.Query);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    // Until the index is ready the page looks again every two seconds.
    if (answer.State == IndexState::Building) {
        html += "<meta http-equiv=\"refresh\" content=\"2\">\n";
    }
    html += "<title>" + (query.empty() ? std::string("Search") : "Search: " + query) +
            "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
    html += "<form action=\"" + std::string(root) + "/" + std::string(kSearchPagePath) +
            "\" method=\"get\" role=\"search\">\n<input type=\"search\" name=\"q\" value=\"" +
            query +
            "\" aria-label=\"Words to find\" autofocus>\n"
            "<button type=\"submit\">Search</button>\n</form>\n";
    switch (answer.State) {
        case IndexState::Building:
            html += "<p id=\"status\">Indexing the site: " + Thousands(answer.Indexed) + " of " +
                    Thousands(answer.ToIndex) + " pages. Results appear when it is done.</p>\n";
            break;
        case IndexState::Failed:
            html += "<p id=\"status\">The search index could not be built.</p>\n";
            break;
        case IndexState::Ready:
            if (!answer.Query.empty()) {
                html += "<p id=\"status\">" +
                        (answer.Total == 0
                             ? std::string("No page matches.")
                             : Thousands(answer.Total) +
                                   (answer.Total == 1 ? " page matches." : " pages match.")) +
                        "</p>\n";
            }
            break;
    }
    if (!answer.StillBuilding.empty()) {
        html += "<p id=\"building\">Still indexing, not searched yet:";
        for (const std::string& archive : answer.StillBuilding) {
            html += ' ';
            html += EscapeHtml(archive);
            html += &archive == &answer.StillBuilding.back() ? '.' : ';';
        }
        html += "</p>\n";
    }
    if (!answer.Hits.empty()) {
        const uint64_t first = uint64_t{answer.Page - 1} * kResultsPerPage + 1;
        html += "<ol id=\"results\" start=\"" + std::to_string(first) + "\">\n";
        for (const SearchHit& hit : answer.Hits) {
            html += "<li><a href=\"" + EscapeHtml(std::string(root) + HitLink(hit)) + "\">" +
                    EscapeHtml(hit.Title) + "</a>\n";
            if (!hit.Heading.empty()) {
                html +=
                    "<div class=\"section\">\xE2\x80\xBA " + EscapeHtml(hit.Heading) + "</div>\n";
            }
            html += "<div class=\"path\">" +
                    (hit.Archive.empty()
                         ? std::string()
                         : "<span class=\"archive\">" + EscapeHtml(hit.Archive) + "</span> · ") +
                    EscapeHtml(hit.Path) + "</div>\n<p class=\"snippet\">";
            AppendSnippetHtml(html, hit.Words);
            html += "</p></li>\n";
        }
        html += "</ol>\n";
    }
    const bool earlier = answer.Page > 1 && answer.State == IndexState::Ready;
    const bool later = uint64_t{answer.Page} * kResultsPerPage < answer.Total;
    if (earlier || later) {
        html += "<nav>";
        if (earlier) {
            html += "<a rel=\"prev\" href=\"" +
                    EscapeHtml(PageLink(kSearchPagePath, answer.Query, answer.Page - 1)) +
                    "\">Previous</a>";
        }
        if (later) {
            html += "<a rel=\"next\" href=\"" +
                    EscapeHtml(PageLink(kSearchPagePath, answer.Query, answer.Page + 1)) +
                    "\">Next</a>";
        }
        html += "</nav>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

std::string SearchResultsJson(const SearchAnswer& answer, std::string_view root) {
    std::string json = "{\"query\": \"" + EscapeJson(answer.Query) +
                       "\", \"total\": " + std::to_string(answer.Total) +
                       ", \"ready\": " + (answer.State == IndexState::Ready ? "true" : "false") +
                       ", \"results\": [";
    bool first = true;
    for (const SearchHit& hit : answer.Hits) {
        if (!first) json += ", ";
        first = false;
        json += "{";
        if (!hit.Archive.empty()) json += "\"archive\": \"" + EscapeJson(hit.Archive) + "\", ";
        json += "\"path\": \"" + EscapeJson(hit.Path) + "\", \"url\": \"" +
                EscapeJson(std::string(root) + HitLink(hit)) + "\", \"title\": \"" +
                EscapeJson(hit.Title) + "\", \"heading\": \"" + EscapeJson(hit.Heading) +
                "\", \"snippet\": \"" + EscapeJson(PlainText(hit.Words)) + "\"}";
    }
    json += "]";
    if (!answer.StillBuilding.empty()) {
        json += ", \"building\": [";
        for (const std::string& archive : answer.StillBuilding) {
            json += std::string(&archive == &answer.StillBuilding.front() ? "" : ", ") + "\"" +
                    EscapeJson(archive) + "\"";
        }
        json += "]";
    }
    json += "}\n";
    return json;
}

std::optional<SearchResponse> AnswerSearchRequest(std::string_view normalizedPath,
                                                  std::string_view queryString,
                                                  const SiteSearch& search, std::string_view root) {
    const bool html = normalizedPath == kSearchPagePath;
    if (!html && normalizedPath != kSearchJsonPath) return std::nullopt;
    const SearchRequest request = ParseSearchQuery(queryString);
    const SearchAnswer answer = search.Ask(request.Query, request.Page);
    if (html) return SearchResponse{SearchResultsHtml(answer, root), std::string(kSearchPageType)};
    return SearchResponse{SearchResultsJson(answer, root), std::string(kSearchJsonType)};
}
