#include "WebServer/Response.h"

std::string ResponseHeader(const std::string& version, const Page& page) {
    return version + " 200 OK\r\nContent-Type: " + page.ContentType +
           "\r\nContent-Length: " + std::to_string(page.Body.size()) + "\r\n\r\n";
}
