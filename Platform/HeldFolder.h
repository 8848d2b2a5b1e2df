// A folder held open so that the files in it can be opened by their bare
// names: the system then looks up one name instead of every folder on the
// path. It stays open while anyone holds it, so a file may be opened after
// the folder's listing has ended.
#pragma once

#include <memory>

namespace platform {

class HeldFolder {
  public:
#ifndef _WIN32
    // Takes over `descriptor`, an open folder.
    explicit HeldFolder(int descriptor) : descriptor_(descriptor) {}
    ~HeldFolder();
    int Descriptor() const {
        return descriptor_;
    }
#endif
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

  private:
#ifndef _WIN32
    int descriptor_ = -1;
#endif
};

// Shared by the listing and every file of the folder still to be opened;
// empty where the system opens files by path only.
using SharedFolder = std::shared_ptr<const HeldFolder>;

}  // namespace platform
