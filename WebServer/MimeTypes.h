// Content types by file extension, as the system's media-types list
// (mime.types) gives them.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

// Where Debian's media-types package keeps the list.
inline constexpr const char* kSystemMimeTypesPath = "/etc/mime.types";

class MimeTypeTable {
  public:
    // Reads the list at `path`; an empty table when it cannot be read. Only
    // its first 4 MiB are looked at.
    static MimeTypeTable Read(const std::string& path);

    // Lines of "type/subtype ext ext ...", "#" starting a comment. A line whose
    // type is malformed is skipped, as is any extension that could not be
    // sent in a header; of two lines naming one extension the first wins.
    static MimeTypeTable Parse(std::string_view text);

    // The type of `extension` (lower case, without its "."); nullptr when the
    // list names none.
    const char* Find(const std::string& extension) const;

    size_t Size() const { return types_.size(); }

  private:
    std::unordered_map<std::string, std::string> types_;
};
