#include "Library/StartPage.h"

#include <chrono>
#include <cstdio>

#include "Search/SearchPages.h"

namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;max-width:50em;margin:1em auto;padding:0 1em;line-height:1.4}"
    "form{display:flex;gap:.5em}input{flex:1;padding:.2em}ul{list-style:none;padding:0}"
    "li{margin:1.2em 0}.about{color:#555;font-size:.9em}.problem{color:#a00}";

std::string SizeText(uint64_t bytes) {
    constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string SearchForm(const std::string& action, std::string_view label) {
    return "<form action=\"" + action + "\"><input type=\"search\" name=\"q\" aria-label=\"" +
           std::string(label) + "\"><button>Search</button></form>";
}

}  // namespace

std::string UtcTimeText(int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds at{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{at - day};
    char text[64];
    (void)std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld UTC",
                        static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                        static_cast<unsigned>(date.day()), static_cast<long>(time.hours().count()),
                        static_cast<long>(time.minutes().count()),
                        static_cast<long>(time.seconds().count()));
    return text;
}

std::string StartPageHtml(const LibrarySnapshot& snapshot, bool search, std::string_view root) {
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Library</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>Library</h1>";
    if (search) html += SearchForm(std::string(root) + "/.pelorine/search", "Search every archive");
    if (!snapshot.Listing.Listed) {
        html += "<p class=\"problem\">The folder cannot be read: " +
                EscapeHtml(snapshot.Listing.Error) + "</p>";
    } else if (snapshot.Archives.empty()) {
        html += "<p>The folder holds no archives.</p>";
    }
    html += "<ul>";
    for (const auto& archive : snapshot.Archives) {
        const std::string path = std::string(root) + "/" + archive->Segment + "/";
        html += "<li>";
        if (archive->Problem.empty()) {
            html += "<a href=\"" + path + "index.html\">" + EscapeHtml(archive->Title) + "</a>";
        } else {
            html += "<strong>" + EscapeHtml(archive->Title) + "</strong>";
        }
        html += "<div class=\"about\">" + EscapeHtml(archive->File.FileName);
        if (archive->Problem.empty()) {
            html += " · " + std::to_string(archive->EntryCount) +
                    (archive->EntryCount == 1 ? " entry · " : " entries · ") +
                    SizeText(archive->File.Stamp.Size) + " · changed " +
                    UtcTimeText(archive->File.Stamp.ModifiedSeconds);
        }
        html += "</div>";
        if (!archive->Problem.empty()) {
            html += "<div class=\"problem\">Not served: " + EscapeHtml(archive->Problem) + "</div>";
        } else if (search) {
            html += SearchForm(path + ".pelorine/search", "Search " + EscapeHtml(archive->Title));
        }
        html += "</li>";
    }
    html += "</ul></body></html>\n";
    return html;
}

std::string LibraryJson(const LibrarySnapshot& snapshot, std::string_view root) {
    std::string json = "{\"archives\":[";
    bool first = true;
    for (const auto& archive : snapshot.Archives) {
        if (!first) json += ',';
        first = false;
        json += "{\"name\":\"" + EscapeJson(archive->Name) + "\",\"path\":\"" +
                EscapeJson(std::string(root) + "/" + archive->Segment) + "/\",\"title\":\"" +
                EscapeJson(archive->Title) +
                "\",\"entries\":" + std::to_string(archive->EntryCount) +
                ",\"size\":" + std::to_string(archive->File.Stamp.Size) +
                ",\"lastChange\":" + std::to_string(archive->File.Stamp.ModifiedSeconds) +
                ",\"served\":" + (archive->Problem.empty() ? "true" : "false") + ",\"problem\":\"" +
                EscapeJson(archive->Problem) + "\"}";
    }
    json += "]}";
    if (!snapshot.Listing.Listed) {
        json.insert(json.size() - 1, ",\"problem\":\"" + EscapeJson(snapshot.Listing.Error) + "\"");
    }
    return json + "\n";
}
