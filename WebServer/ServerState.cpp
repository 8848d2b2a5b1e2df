#include "WebServer/ServerState.h"

std::string& BrowseArchivePath = *new std::string;
std::atomic<bool> ServerActive{false};
