#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;

// A database written by the combiner, where every call's result is checked:
// any failure raises AppError "Cannot write <target>: <SQLite's reason>.",
// so nothing is counted as written that SQLite did not take.
class SqliteDatabase {
public:
    // Opens `fileName` (never through a symbolic link) for writing; `target`
    // names the output in messages.
    SqliteDatabase(const QString& fileName, const QString& target);
    ~SqliteDatabase();

    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void Execute(const QByteArray& sql);
    [[noreturn]] void Fail(int code) const;
    // Closes the file; raises AppError when SQLite reports an error on it.
    void Close();

    sqlite3* Handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
    QString target_;
};

// One prepared statement of a SqliteDatabase, reset after each step.
class SqliteStatement {
public:
    SqliteStatement(SqliteDatabase& db, const char* sql);
    ~SqliteStatement();

    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& Bind(int index, qint64 value);
    SqliteStatement& BindReal(int index, double value);
    SqliteStatement& Bind(int index, const QString& text);
    // The bytes must outlive the step.
    SqliteStatement& BindBlob(int index, const QByteArray& bytes);
    // Runs a statement that returns no row; raises unless SQLite completed it.
    void Run();
    // The first column of the first row as bytes; nothing without a row.
    std::optional<QByteArray> QueryBlob();

private:
    void Check(int code) const;

    SqliteDatabase& db_;
    sqlite3_stmt* statement_ = nullptr;
};
