#include "WebServer/ServerState.h"

std::string& BrowseArchivePath = *new std::string;
std::atomic<bool> ServerActive{false};
std::atomic<ServerStage> CurrentServerStage{ServerStage::NotStarted};
std::atomic<int> ServerErrorNumber{0};

void ResetServerState() {
    ServerActive = false;
    CurrentServerStage = ServerStage::NotStarted;
    ServerErrorNumber = 0;
}
