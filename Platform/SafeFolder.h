// Folders opened one level at a time, for writing a tree of files below a
// folder that must never be left: no call here follows a symbolic link (on
// Windows: a reparse point) below the top folder, whether it was there before
// or appeared while the tree is written.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/File.h"

namespace platform {

#ifdef _WIN32
// The layer's own record of an open folder (its handle and path), as a number.
using FolderHandle = intptr_t;
#else
using FolderHandle = int;
#endif
inline constexpr FolderHandle kInvalidFolder = -1;

// Opens the folder at `path`, creating it and any missing folders above it.
// This path is the caller's own choice: links in it are followed.
FolderHandle OpenOrCreateFolder(const std::string& path);

// Opens the folder `name` (one plain name: no separator) inside `parent`,
// creating it when missing. Fails when `name` is a link (then `isLink` is
// set), a file, or a name the system would not take as one plain entry of
// the folder.
FolderHandle OpenChildFolder(FolderHandle parent, const std::string& name, bool& isLink);

void CloseFolder(FolderHandle folder);

// Whether anything at all (file, folder or link) is named `name` in `folder`.
bool ExistsIn(FolderHandle folder, const std::string& name);

// Creates a new file with a fresh temporary name inside `folder`, for
// writing; the name chosen is put in `tempName`.
FileHandle CreateTemporaryIn(FolderHandle folder, std::string& tempName);

enum class PlaceResult { Placed, Exists, Failed };

// Renames `tempName` to `name` inside `folder` in one step. Without `replace`
// an existing `name` stays and the result is Exists; with it, a file or link
// named `name` is replaced (the link itself, never what it points to).
PlaceResult PlaceFile(FolderHandle folder, const std::string& tempName, const std::string& name,
                      bool replace);

bool DeleteIn(FolderHandle folder, const std::string& name);

}  // namespace platform
