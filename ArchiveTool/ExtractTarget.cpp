#include "ArchiveTool/ExtractTarget.h"

#include "Platform/File.h"

ExtractTarget::ExtractTarget(const std::string& folder)
    : folders_{platform::OpenOrCreateFolder(folder)} {}

ExtractTarget::~ExtractTarget() {
    CloseBelow(0);
    platform::CloseFolder(folders_.front());
}

void ExtractTarget::CloseBelow(size_t depth) {
    while (names_.size() > depth) {
        platform::CloseFolder(folders_.back());
        folders_.pop_back();
        names_.pop_back();
    }
}

platform::FolderHandle ExtractTarget::FolderFor(const std::vector<std::string>& segments,
                                                std::string& problem) {
    const size_t levels = segments.size() - 1;
    size_t common = 0;
    while (common < names_.size() && common < levels && names_[common] == segments[common]) {
        ++common;
    }
    CloseBelow(common);
    for (size_t level = common; level < levels; ++level) {
        bool isLink = false;
        const platform::FolderHandle child =
            platform::OpenChildFolder(folders_.back(), segments[level], isLink);
        if (child == platform::kInvalidFolder) {
            problem = "\"" + segments[level] + "\" " +
                      (isLink ? std::string("is a symbolic link, never followed")
                              : "cannot be a folder: " + platform::LastErrorText());
            return platform::kInvalidFolder;
        }
        folders_.push_back(child);
        names_.push_back(segments[level]);
    }
    return folders_.back();
}

WriteResult WriteEntryFile(platform::FolderHandle folder, const std::string& name,
                           const std::string& content, bool overwrite, std::string& problem) {
    std::string tempName;
    const platform::FileHandle file = platform::CreateTemporaryIn(folder, tempName);
    if (file == platform::kInvalidFile) {
        problem = "cannot create a file: " + platform::LastErrorText();
        return WriteResult::Failed;
    }
    const bool written =
        platform::WriteFile(file, content.data(), content.size()) == content.size();
    if (!written) problem = "cannot write: " + platform::LastErrorText();
    platform::CloseFile(file);
    platform::PlaceResult placed = platform::PlaceResult::Failed;
    if (written) {
        placed = platform::PlaceFile(folder, tempName, name, overwrite);
        if (placed == platform::PlaceResult::Failed) {
            problem = "cannot put the file in place: " + platform::LastErrorText();
        }
    }
    if (placed != platform::PlaceResult::Placed) platform::DeleteIn(folder, tempName);
    if (placed == platform::PlaceResult::Exists) return WriteResult::Exists;
    return placed == platform::PlaceResult::Placed ? WriteResult::Written : WriteResult::Failed;
}
