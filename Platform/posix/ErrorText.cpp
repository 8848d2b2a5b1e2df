#include "Platform/ErrorText.h"

#include <system_error>

namespace platform {

std::string ErrorText(int errorNumber) {
    return std::error_code(errorNumber, std::generic_category()).message();
}

}  // namespace platform
