#include "Platform/ErrorText.h"

#include <cerrno>
#include <system_error>

namespace platform {

std::string ErrorText(int errorNumber) {
    // The Windows layer maps socket errors to these numbers, which the C
    // runtime's own table leaves as "Unknown error".
    switch (errorNumber) {
        case EADDRINUSE:
            return "Address already in use";
        case EADDRNOTAVAIL:
            return "Cannot assign requested address";
        case ENETDOWN:
            return "Network is down";
        case ENOBUFS:
            return "No buffer space available";
        default:
            return std::error_code(errorNumber, std::generic_category()).message();
    }
}

}  // namespace platform
