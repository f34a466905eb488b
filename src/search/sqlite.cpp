#include "search/sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace scrivel::search {

bool SqliteError::damaged() const {
  const int primary = code & 0xFF;
  return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

Database::Database(const std::string& path, Mode mode) {
  const int flags = mode == Mode::read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  const int code = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    close();
    throw SqliteError(code, message);
  }
  sqlite3_extended_result_codes(db_, 1);
}

Database::Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Database::~Database() { close(); }

void Database::close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Database::fail(int code) const { throw SqliteError(code, sqlite3_errmsg(db_)); }

void Database::execute(const char* sql) {
  if (const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); code != SQLITE_OK) fail(code);
}

Statement Database::prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  const int code = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &statement, nullptr);
  if (code != SQLITE_OK) fail(code);
  return Statement(*this, statement);
}

std::int64_t Database::integer(const char* sql, std::int64_t otherwise) {
  Statement statement = prepare(sql);
  return statement.step() ? statement.integer(0) : otherwise;
}

void Database::define_row_reader(const char* name, std::function<void(std::int64_t)>& each) {
  const auto step = [](sqlite3_context* context, int, sqlite3_value** values) {
    (*static_cast<std::function<void(std::int64_t)>*>(sqlite3_user_data(context)))(sqlite3_value_int64(values[0]));
  };
  const auto final = [](sqlite3_context* context) { sqlite3_result_null(context); };
  const int code = sqlite3_create_function_v2(db_, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &each, nullptr, step,
                                              final, nullptr);
  if (code != SQLITE_OK) fail(code);
}

Statement::Statement(Statement&& other) noexcept
    : database_(other.database_), statement_(std::exchange(other.statement_, nullptr)) {}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement& Statement::bind(int place, std::int64_t value) {
  if (const int code = sqlite3_bind_int64(statement_, place, value); code != SQLITE_OK) database_->fail(code);
  return *this;
}

Statement& Statement::bind(int place, std::string_view text) {
  const int code = sqlite3_bind_text(statement_, place, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  if (code != SQLITE_OK) database_->fail(code);
  return *this;
}

bool Statement::step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  sqlite3_reset(statement_);
  database_->fail(code);
}

void Statement::run() {
  while (step()) {
  }
  reset();
}

void Statement::reset() { sqlite3_reset(statement_); }

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string_view Statement::text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text == nullptr ? std::string_view() : std::string_view(text, sqlite3_column_bytes(statement_, column));
}

}  // namespace scrivel::search
