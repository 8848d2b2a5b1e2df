#include "Search/Sqlite.h"

Database OpenDatabase(const std::string& path, int flags) {
    sqlite3* handle = nullptr;
    const int result = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
    Database database(handle);
    if (result != SQLITE_OK) return {};
    // A damaged index file must give errors, never long waits.
    sqlite3_busy_timeout(handle, 0);
    return database;
}

bool Execute(sqlite3* database, const char* sql) {
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement Prepare(sqlite3* database, std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &statement,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return {};
    }
    return Statement(statement);
}

void BindText(sqlite3_stmt* statement, int position, std::string_view text) {
    sqlite3_bind_text64(statement, position, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
}

std::string_view ColumnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<size_t>(sqlite3_column_bytes(statement, column))};
}

fts5_api* Fts5Of(sqlite3* database) {
    fts5_api* api = nullptr;
    Statement statement = Prepare(database, "SELECT fts5(?1)");
    if (!statement) return nullptr;
    sqlite3_bind_pointer(statement.get(), 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement.get());
    return api;
}
