// The folder an extract writes into, entered one level at a time without ever
// following a link, and the placing of one file in it.
#pragma once

#include <string>
#include <vector>

#include "Platform/SafeFolder.h"

class ExtractTarget {
  public:
    // Opens `folder`, creating it as needed; Opened() tells whether it could.
    explicit ExtractTarget(const std::string& folder);
    ~ExtractTarget();
    ExtractTarget(const ExtractTarget&) = delete;
    ExtractTarget& operator=(const ExtractTarget&) = delete;

    bool Opened() const { return folders_.front() != platform::kInvalidFolder; }

    // The folder that holds a file at `segments` (its last one is the file's
    // name), creating the levels below the top as needed. Consecutive entries
    // of one folder reuse the levels already open. kInvalidFolder, with
    // `problem` set, when a level is a link or a file or cannot be made.
    platform::FolderHandle FolderFor(const std::vector<std::string>& segments,
                                     std::string& problem);

  private:
    void CloseBelow(size_t depth);

    // folders_[0] is the top folder; folders_[i] is names_[i - 1] inside
    // folders_[i - 1].
    std::vector<platform::FolderHandle> folders_;
    std::vector<std::string> names_;
};

enum class WriteResult { Written, Exists, Failed };

// Writes `content` under `name` in `folder` through a temporary file renamed
// into place, so that an extract cut off midway never leaves a partial file
// under an entry's name. Without `overwrite` an existing name is left alone.
WriteResult WriteEntryFile(platform::FolderHandle folder, const std::string& name,
                           const std::string& content, bool overwrite, std::string& problem);
