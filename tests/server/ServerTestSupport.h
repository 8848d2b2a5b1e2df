// Helpers for the server tests: archives built by hand (sound or hostile), an
// in-process server on a free loopback port, and a client that talks to it
// through real sockets with every wait bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "WebServer/BrowseOptions.h"

namespace server_testing {

// An archive laid out record by record, so that tests can also write entries
// the compiler never would.
class ArchiveBuilder {
  public:
    // Stored as they are.
    void AddRaw(const std::string& name, const std::string& bytes);
    // As one LZO1X-1 stream (the test fails if it does not shrink).
    void AddCompressed(const std::string& name, const std::string& bytes);
    // Bytes put into the data area without a record, and a record with any
    // fields; `dataOffset` is absolute.
    uint32_t AddData(const std::string& bytes);
    void AddRecord(const std::string& name, uint32_t unpacked, uint32_t packed, uint32_t offset);
    // The whole archive file.
    std::string Bytes() const;
    void WriteTo(const std::string& path) const;

  private:
    std::string data_;
    std::string index_;
};

// LZO1X-1 of `bytes`.
std::string Compress(const std::string& bytes);

// Writes `files` (name -> content) below `folder` and compiles them with the
// program's own compiler into `archivePath`.
void CompileTree(const std::map<std::string, std::string>& files, const std::string& folder,
                 const std::string& archivePath);

// Starts ServerThread on `archivePath` on a free loopback port and returns the
// port once it listens. One server per test process: it is never stopped.
// With PELORINE_SERVER_COMMAND set (say, "wine build-windows/pelorine.exe"),
// that program serves instead, on its own port, until the test process ends.
// `options`: the opt-in options it serves with (the server command ignores them).
uint16_t StartServer(const std::string& archivePath, const BrowseOptions& options = {});

// The same for any job: `path` is served with `options`, as a library's
// folder with `library`. Always in this process.
uint16_t StartServerWith(const std::string& path, const BrowseOptions& options, bool library);

// Stops every server started in this process and joins its threads (a
// search's builders too, which stay until their search ends).
void StopServers();

// The response the server must send for a page.
std::string ExpectedResponse(const std::string& version, const std::string& contentType,
                             const std::string& body);

struct Piece {
    std::string bytes;
    std::chrono::milliseconds pauseBefore{0};
};

struct TalkOptions {
    // Shut down the client's sending side after the last piece.
    bool closeSendingAfter = false;
    // Wait this long after sending before reading anything.
    std::chrono::milliseconds readDelay{0};
    // The test's own bound on the whole exchange.
    std::chrono::milliseconds limit{20000};
    // Receive buffer size asked for before connecting (0: the default).
    int receiveBuffer = 0;
};

struct Exchange {
    std::string received;
    bool connected = false;
    bool reset = false;                    // the server ended the connection with a reset
    bool timedOut = false;                 // the test's own bound ran out first
    std::chrono::milliseconds elapsed{0};  // from connecting to the end
};

// Connects to 127.0.0.1:`port`, sends the pieces and reads until the server
// closes the connection.
Exchange Talk(uint16_t port, const std::vector<Piece>& pieces, const TalkOptions& options = {});

// A connected loopback client socket (-1 on failure), for tests that drive
// the exchange themselves.
int ConnectTo(uint16_t port, std::chrono::milliseconds limit, int receiveBuffer = 0);

// Reads until the peer closes, resets, or `limit` passes.
Exchange ReadToEnd(int socket, std::chrono::milliseconds limit);

// Sends all of `bytes` (false when the connection refuses them).
bool SendAll(int socket, const std::string& bytes);

}  // namespace server_testing
