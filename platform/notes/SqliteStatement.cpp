#include "platform/notes/SqliteStatement.h"

namespace notes {

sqlite3_stmt* PrepareStatement(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throw CNsfError(std::string("database query failed: ") + sqlite3_errmsg(db));
    }
    return stmt;
}

CStatementCache::~CStatementCache() {
    for (auto& entry : prepared) sqlite3_finalize(entry.second.stmt);
}

sqlite3_stmt* CStatementCache::Lend(const char* sql) {
    CEntry& entry = prepared[sql];
    if (entry.lent) return nullptr;
    if (!entry.stmt) entry.stmt = PrepareStatement(db, sql);
    entry.lent = true;
    return entry.stmt;
}

void CStatementCache::Return(const char* sql) {
    CEntry& entry = prepared[sql];
    sqlite3_reset(entry.stmt);
    sqlite3_clear_bindings(entry.stmt);
    entry.lent = false;
}

CStatement::CStatement(CStatementCache& cache, const char* sql) : stmt(cache.Lend(sql)) {
    if (stmt)
        lender = &cache, query = sql;
    else
        stmt = PrepareStatement(cache.Db(), sql);
}

CStatement::~CStatement() {
    if (lender)
        lender->Return(query);
    else
        sqlite3_finalize(stmt);
}

bool CStatement::Step() {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw CNsfError(std::string("database access failed: ") + sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

std::string CStatement::Blob(int col) const {
    const void* p = sqlite3_column_blob(stmt, col);
    return p ? std::string(static_cast<const char*>(p), sqlite3_column_bytes(stmt, col)) : std::string();
}

}  // namespace notes
