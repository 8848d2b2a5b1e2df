// The few SQLite calls the index makes, with their handles owned.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct SqliteCloser {
    void operator()(sqlite3* database) const { sqlite3_close_v2(database); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

using Database = std::unique_ptr<sqlite3, SqliteCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Opens `path` (UTF-8) with `flags`; ":memory:" gives a private database in
// memory. Empty when it cannot be opened.
Database OpenDatabase(const std::string& path, int flags);

// Runs statements that return no rows. False on any error.
bool Execute(sqlite3* database, const char* sql);

// Empty when the statement does not compile.
Statement Prepare(sqlite3* database, std::string_view sql);

// Binds text without copying: it must outlive the statement's next step.
void BindText(sqlite3_stmt* statement, int position, std::string_view text);

// The text of a result column (empty for NULL).
std::string_view ColumnText(sqlite3_stmt* statement, int column);

// The FTS5 extension's own calls, for `database`; nothing when it lacks them.
fts5_api* Fts5Of(sqlite3* database);
