#include "WebServer/ContentTypes.h"

#include "Shared/AnsiText.h"

namespace {

struct ContentTypeRow {
    const char* extension;
    const char* contentType;
};

// Searched in this order; the first equal row wins.
constexpr ContentTypeRow kContentTypes[] = {
    {".htm", "text/html"},
    {".html", "text/html"},
    {".jpeg", "image/jpeg"},
    {".jpg", "image/jpg"},
    {".gif", "image/gif"},
    {".png", "image/png"},
    {".bmp", "image/bmp"},
    {".js", "application/x-javascript"},
    {".css", "text/css"},
    {".midi", "audio/midi"},
    {".mid", "audio/midi"},
    {".xml", "application/xml"},
    {".swf", "application/x-shockwave-flash"},
    {".pdf", "application/pdf"},
    {".ps", "application/postscript"},
    {".mp3", "audio/mpeg"},
    {".wav", "audio/wav"},
    {".gz", "application/x-gzip"},
    {".tgz", "application/x-gzip"},
    {".zip", "application/zip"},
};

constexpr const char* kDefaultContentType = "*/*";

}  // namespace

std::string PageExtension(const std::string& path) {
    std::string extension = ExtensionOf(path);
    extension = extension.substr(0, extension.find('?'));
    return extension.substr(0, extension.find('#'));
}

const char* ContentTypeOf(const std::string& extension) {
    return ContentTypeOf(extension, MimeTypeTable{});
}

const char* ContentTypeOf(const std::string& extension, const MimeTypeTable& standard) {
    const std::string key = AsciiLower(extension);
    for (const ContentTypeRow& row : kContentTypes) {
        if (key == row.extension) return row.contentType;
    }
    if (key.size() > 1) {
        if (const char* type = standard.Find(key.substr(1))) return type;
    }
    return kDefaultContentType;
}
