#include "combiner/sqlite_database.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <limits>
#include <sqlite3.h>

SqliteDatabase::SqliteDatabase(const QString& fileName, const QString& target)
    : target_(target)
{
    const int code = sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db_,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (code != SQLITE_OK)
        Fail(code);
    sqlite3_extended_result_codes(db_, 1);
}

SqliteDatabase::~SqliteDatabase()
{
    if (db_)
        sqlite3_close_v2(db_);
}

void SqliteDatabase::Fail(int code) const
{
    const QString reason = db_ && sqlite3_errcode(db_) != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db_))
                                                                       : QString::fromUtf8(sqlite3_errstr(code));
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(target_), reason));
}

void SqliteDatabase::Execute(const QByteArray& sql)
{
    const int code = sqlite3_exec(db_, sql.constData(), nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        Fail(code);
}

void SqliteDatabase::Close()
{
    const int code = sqlite3_close(db_);
    if (code != SQLITE_OK)
        Fail(code);
    db_ = nullptr;
}

SqliteStatement::SqliteStatement(SqliteDatabase& db, const char* sql)
    : db_(db)
{
    Check(sqlite3_prepare_v2(db.Handle(), sql, -1, &statement_, nullptr));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement_);
}

void SqliteStatement::Check(int code) const
{
    if (code != SQLITE_OK)
        db_.Fail(code);
}

SqliteStatement& SqliteStatement::Bind(int index, qint64 value)
{
    Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

SqliteStatement& SqliteStatement::BindReal(int index, double value)
{
    Check(sqlite3_bind_double(statement_, index, value));
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    Check(sqlite3_bind_text64(statement_, index, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, const QByteArray& bytes)
{
    // The 64-bit call reports a blob beyond SQLite's limit as SQLITE_TOOBIG
    // instead of storing a truncated or NULL value.
    Check(sqlite3_bind_blob64(statement_, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_STATIC));
    return *this;
}

void SqliteStatement::Run()
{
    const int code = sqlite3_step(statement_);
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    if (code != SQLITE_DONE)
        db_.Fail(code);
}

std::optional<QByteArray> SqliteStatement::QueryBlob()
{
    const int code = sqlite3_step(statement_);
    std::optional<QByteArray> value;
    if (code == SQLITE_ROW)
        value = QByteArray(static_cast<const char*>(sqlite3_column_blob(statement_, 0)), sqlite3_column_bytes(statement_, 0));
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        db_.Fail(code);
    return value;
}
