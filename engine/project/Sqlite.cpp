#include "project/Sqlite.h"

#include <sqlite3.h>

namespace sql {

namespace {

// Paths in the order of their folders and names, as a listing of the tree
// gives them (and the commands that take folders print them): '/' sorts
// before every other byte, so "a/x" comes before "a-b/x".
int comparePaths(void*, int na, const void* a, int nb, const void* b)
{
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    const int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i) {
        if (pa[i] == pb[i])
            continue;
        const int ca = pa[i] == '/' ? -1 : pa[i];
        const int cb = pb[i] == '/' ? -1 : pb[i];
        return ca < cb ? -1 : 1;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

}  // namespace

Db::Db(const std::string& path, bool create, int busyMs) : m_path(path)
{
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        if (rc == SQLITE_CANTOPEN)
            throw ProjectError(ProjectError::Kind::Missing,
                               path + ": cannot open the project (" + message +
                                   (create ? ")" : "); make one with \"vesperon-cli project init\")"));
        throw ProjectError(ProjectError::Kind::Other, path + ": " + message);
    }
    sqlite3_busy_timeout(m_db, busyMs);
    sqlite3_create_collation(m_db, "PATHS", SQLITE_UTF8, nullptr, comparePaths);
    sqlite3_extended_result_codes(m_db, 0);
}

Db::~Db()
{
    sqlite3_close_v2(m_db);
}

void Db::fail(int rc, const std::string& what) const
{
    const std::string detail = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
        throw ProjectError(ProjectError::Kind::NotAProject, m_path + " is not a Vesperon project (" + detail + ")");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw ProjectError(ProjectError::Kind::Locked,
                           m_path + " is locked by another program; nothing was changed by this step, try again "
                                    "when the other one has finished");
    case SQLITE_FULL:
        throw ProjectError(ProjectError::Kind::DiskFull,
                           m_path + ": the disk is full; what was stored before this step is kept (" + what + ")");
    case SQLITE_READONLY:
    case SQLITE_PERM:
        throw ProjectError(ProjectError::Kind::ReadOnly, m_path + ": the project cannot be written (" + detail + ")");
    case SQLITE_CORRUPT:
        throw ProjectError(ProjectError::Kind::NotAProject, m_path + " is damaged or not a project (" + detail + ")");
    default:
        throw ProjectError(ProjectError::Kind::Other, m_path + ": " + what + ": " + detail);
    }
}

void Db::exec(const char* text)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, text, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc, text);
}

std::int64_t Db::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Db::changes() const
{
    return sqlite3_changes(m_db);
}

Stmt::Stmt(Db& db, const char* text) : m_db(db)
{
    const int rc = sqlite3_prepare_v2(db.handle(), text, -1, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        db.fail(rc, text);
}

Stmt::~Stmt()
{
    sqlite3_finalize(m_stmt);
}

Stmt& Stmt::bind(int i, std::int64_t v)
{
    sqlite3_bind_int64(m_stmt, i, v);
    return *this;
}

Stmt& Stmt::bind(int i, double v)
{
    sqlite3_bind_double(m_stmt, i, v);
    return *this;
}

Stmt& Stmt::bind(int i, std::string_view v)
{
    sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

Stmt& Stmt::bindNull(int i)
{
    sqlite3_bind_null(m_stmt, i);
    return *this;
}

bool Stmt::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_db.fail(rc, sqlite3_sql(m_stmt));
}

void Stmt::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Stmt::isNull(int col) const
{
    return sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

std::int64_t Stmt::i64(int col) const
{
    return sqlite3_column_int64(m_stmt, col);
}

double Stmt::real(int col) const
{
    return sqlite3_column_double(m_stmt, col);
}

std::string Stmt::text(int col) const
{
    const unsigned char* p = sqlite3_column_text(m_stmt, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)))
             : std::string();
}

std::string_view Stmt::view(int col) const
{
    const unsigned char* p = sqlite3_column_text(m_stmt, col);
    return p ? std::string_view(reinterpret_cast<const char*>(p),
                                static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)))
             : std::string_view();
}

Transaction::Transaction(Db& db) : m_db(db), m_nested(sqlite3_get_autocommit(db.handle()) == 0)
{
    m_db.exec(m_nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (m_open)
        sqlite3_exec(m_db.handle(), m_nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK", nullptr, nullptr,
                     nullptr);
}

void Transaction::commit()
{
    m_db.exec(m_nested ? "RELEASE nested" : "COMMIT");
    m_open = false;
}

}  // namespace sql
