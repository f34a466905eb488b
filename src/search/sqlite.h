#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A thin hold on SQLite: a connection and its statements closed by their
// destructors, and every failure an exception that carries SQLite's code
// and message. Text is bound without a copy: what a statement is bound to
// must outlive its next step.

namespace scrivel::search {

struct SqliteError : std::runtime_error {
  SqliteError(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
  // The file is no SQLite database, or a damaged one.
  bool damaged() const;
};

class Statement;

class Database {
 public:
  enum class Mode { read_only, read_write_create };

  Database(const std::string& path, Mode mode);
  // Moved only before it has statements, which hold on to it.
  Database(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  Database& operator=(Database&&) = delete;
  ~Database();

  void execute(const char* sql);
  Statement prepare(std::string_view sql);
  // A query's one integer, or `otherwise` where it gives no row.
  std::int64_t integer(const char* sql, std::int64_t otherwise = 0);
  // An aggregate function `name`(x) for queries, which calls `each` with x
  // of every row it sees, and gives nothing: the cheapest way to read every
  // row of a large result.
  void define_row_reader(const char* name, std::function<void(std::int64_t)>& each);
  void close();

 private:
  friend class Statement;
  [[noreturn]] void fail(int code) const;

  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;
  ~Statement();

  Statement& bind(int place, std::int64_t value);
  Statement& bind(int place, std::string_view text);
  // Whether a row came; false once the statement is done.
  bool step();
  // Runs a statement that gives no rows, and readies it for the next run.
  void run();
  void reset();

  std::int64_t integer(int column) const;
  std::string_view text(int column) const;

 private:
  friend class Database;
  Statement(Database& database, sqlite3_stmt* statement) : database_(&database), statement_(statement) {}

  Database* database_;
  sqlite3_stmt* statement_;
};

}  // namespace scrivel::search
