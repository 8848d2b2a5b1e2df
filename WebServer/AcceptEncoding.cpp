#include "WebServer/AcceptEncoding.h"

#include <algorithm>

#include "Shared/AnsiText.h"
#include "WebServer/FieldText.h"

namespace {

constexpr int kFullWeight = 1000;
// No weight given yet for a coding.
constexpr int kUnnamed = -1;

// The weight an element ("gzip;q=0.5") gives its coding: 1000 without a q
// parameter, 0 with a broken one.
int WeightOf(std::string_view parameters) {
    while (!parameters.empty()) {
        const size_t semicolon = parameters.find(';');
        const std::string_view parameter = TrimmedField(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view()
                                                         : parameters.substr(semicolon + 1);
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos) continue;
        if (!EqualIgnoringAsciiCase(TrimmedField(parameter.substr(0, equals)), "q")) continue;
        return ParseQValue(TrimmedField(parameter.substr(equals + 1))).value_or(0);
    }
    return kFullWeight;
}

void Lower(int& weight, int given) {
    weight = weight == kUnnamed ? given : std::min(weight, given);
}

}  // namespace

std::string_view CodingName(ContentCoding coding) {
    switch (coding) {
        case ContentCoding::Gzip:
            return "gzip";
        case ContentCoding::Brotli:
            return "br";
        case ContentCoding::Identity:
            break;
    }
    return "";
}

std::optional<int> ParseQValue(std::string_view text) {
    if (text.empty() || (text[0] != '0' && text[0] != '1')) return std::nullopt;
    int weight = (text[0] - '0') * kFullWeight;
    if (text.size() == 1) return weight;
    if (text[1] != '.' || text.size() > 5) return std::nullopt;
    int scale = kFullWeight / 10;
    for (char c : text.substr(2)) {
        if (c < '0' || c > '9') return std::nullopt;
        weight += (c - '0') * scale;
        scale /= 10;
    }
    if (weight > kFullWeight) return std::nullopt;
    return weight;
}

ContentCoding ChooseCoding(const std::optional<std::string>& acceptEncoding) {
    if (!acceptEncoding) return ContentCoding::Identity;
    int gzip = kUnnamed;
    int brotli = kUnnamed;
    int identity = kUnnamed;
    int any = kUnnamed;
    std::string_view rest = *acceptEncoding;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view element = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const size_t semicolon = element.find(';');
        const std::string_view name = TrimmedField(element.substr(0, semicolon));
        const int weight = semicolon == std::string_view::npos
                               ? kFullWeight
                               : WeightOf(element.substr(semicolon + 1));
        if (EqualIgnoringAsciiCase(name, "gzip") || EqualIgnoringAsciiCase(name, "x-gzip")) {
            Lower(gzip, weight);
        } else if (EqualIgnoringAsciiCase(name, "br")) {
            Lower(brotli, weight);
        } else if (EqualIgnoringAsciiCase(name, "identity")) {
            Lower(identity, weight);
        } else if (name == "*") {
            Lower(any, weight);
        }
    }
    if (gzip == kUnnamed) gzip = any == kUnnamed ? 0 : any;
    // Unnamed, identity is acceptable yet preferred to no coding the client
    // names: its weight is then the least above 0, unless "*" gives one.
    if (identity == kUnnamed) identity = any == kUnnamed ? 1 : any;
    if (brotli > 0 && brotli >= identity && brotli >= gzip) return ContentCoding::Brotli;
    return gzip > 0 && gzip >= identity ? ContentCoding::Gzip : ContentCoding::Identity;
}
