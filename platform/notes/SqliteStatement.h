// Prepared SQLite statements of the Notes database file: a cache that
// prepares each query text once per connection and lends it out, and the
// statement object that binds, steps and reads columns, throwing CNsfError
// with SQLite's message when a query cannot be prepared or run.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/notes/NotesSource.h"

namespace notes {

sqlite3_stmt* PrepareStatement(sqlite3* db, const char* sql);

// Preparing a query costs more than running it on one note, and a document is
// read many times while it is converted: each query text is prepared once
// and lent out. A statement that is still lent (a nested use of the same
// query) is not handed out twice; the borrower then prepares its own.
class CStatementCache {
public:
    explicit CStatementCache(sqlite3* db) : db(db) {}
    ~CStatementCache();
    CStatementCache(const CStatementCache&) = delete;
    CStatementCache& operator=(const CStatementCache&) = delete;

    sqlite3* Db() const { return db; }
    // The statement for this query text, or nullptr while it is lent.
    sqlite3_stmt* Lend(const char* sql);
    // Back from its borrower: reset, so that it holds no read lock, and unbound.
    void Return(const char* sql);

private:
    struct CEntry {
        sqlite3_stmt* stmt = nullptr;
        bool lent = false;
    };
    sqlite3* db;
    // Keyed by the query's text literal: every call site passes the same one.
    std::unordered_map<const char*, CEntry> prepared;
};

class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : stmt(PrepareStatement(db, sql)) {}
    CStatement(CStatementCache& cache, const char* sql);
    ~CStatement();
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    CStatement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt, i, v);
        return *this;
    }
    CStatement& Bind(int i, const std::string& blob) {
        sqlite3_bind_blob(stmt, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        return *this;
    }
    void Reset() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    // True for a row, false at the end; throws CNsfError when the row cannot
    // be read (a damaged page, a missing table).
    bool Step();
    int64_t Int(int col) const { return sqlite3_column_int64(stmt, col); }
    // SQLITE_INTEGER, SQLITE_TEXT, ... of the column's value in this row.
    int Type(int col) const { return sqlite3_column_type(stmt, col); }
    std::string Blob(int col) const;

private:
    sqlite3_stmt* stmt = nullptr;
    CStatementCache* lender = nullptr;
    const char* query = nullptr;
};

}  // namespace notes
