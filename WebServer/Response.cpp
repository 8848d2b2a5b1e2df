#include "WebServer/Response.h"

std::string BuildResponse(const std::string& version, Page& page) {
    std::string response = version + " 200 OK\r\nContent-Type: " + page.ContentType +
                           "\r\nContent-Length: " + std::to_string(page.BodyLength) + "\r\n\r\n";
    response.reserve(response.size() + page.Body.size());
    response += page.Body;
    page.Body = std::string();
    return response;
}
