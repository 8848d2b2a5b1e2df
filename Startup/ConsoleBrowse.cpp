#include "Startup/ConsoleBrowse.h"

#include <cstdio>

int RunConsoleBrowse(const std::string&) {
    std::fputs("pelorine: browsing from the console is not available yet\n", stderr);
    return 2;
}
