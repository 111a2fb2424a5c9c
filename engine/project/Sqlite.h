// A thin layer over SQLite's C API for the project database: the
// connection, prepared statements and transactions as RAII objects, and
// every failure as a ProjectError with a message a user can act on.
// sqlite3.h stays out of this header: SQLite is private to the project layer.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class ProjectError : public std::runtime_error {
public:
    enum class Kind { Other, NotAProject, NewerSchema, Locked, DiskFull, ReadOnly, Missing };
    ProjectError(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

namespace sql {

class Db {
public:
    // Opens (or creates) the database file. Waits up to `busyMs` for a lock
    // another program holds.
    Db(const std::string& path, bool create, int busyMs);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    sqlite3* handle() const { return m_db; }
    const std::string& path() const { return m_path; }
    void exec(const char* sql);
    std::int64_t lastInsertId() const;
    int changes() const;
    // Throws the ProjectError for SQLite result `rc` (the words of `what`
    // say what was being done).
    [[noreturn]] void fail(int rc, const std::string& what) const;

private:
    sqlite3* m_db = nullptr;
    std::string m_path;
};

class Stmt {
public:
    Stmt(Db& db, const char* sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    // Binding, 1-based as in SQLite.
    Stmt& bind(int i, std::int64_t v);
    Stmt& bind(int i, int v) { return bind(i, static_cast<std::int64_t>(v)); }
    Stmt& bind(int i, double v);
    Stmt& bind(int i, std::string_view v);
    Stmt& bind(int i, const char* v) { return bind(i, std::string_view(v)); }
    Stmt& bind(int i, const std::string& v) { return bind(i, std::string_view(v)); }
    Stmt& bindNull(int i);
    Stmt& bind(int i, const std::optional<std::string>& v) { return v ? bind(i, *v) : bindNull(i); }

    // True while there is a row.
    bool step();
    // Runs a statement that returns no rows.
    void run() { step(); reset(); }
    void reset();

    bool isNull(int col) const;
    std::int64_t i64(int col) const;
    double real(int col) const;
    std::string text(int col) const;
    // Valid until the next step or reset.
    std::string_view view(int col) const;

private:
    Db& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN IMMEDIATE (the write lock at once, so that two writers wait at the
// start rather than fail half-way); COMMIT by commit(), ROLLBACK otherwise.
// Inside another transaction it is a savepoint, committed with the outer one.
class Transaction {
public:
    explicit Transaction(Db& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Db& m_db;
    bool m_open = true;
    bool m_nested = false;
};

}  // namespace sql
