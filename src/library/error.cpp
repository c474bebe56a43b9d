#include <utility>

#include "library/library.hpp"

namespace eigpick {
namespace {

error::condition condition_of(records::condition what_happened) {
  using enum records::condition;
  switch (what_happened) {
    case cannot_read:
      return error::condition::cannot_read;
    case end_of_file:
      return error::condition::end_of_file;
    case bad_integer:
      return error::condition::bad_integer;
    case bad_real:
      return error::condition::bad_real;
    case cannot_write:
      return error::condition::cannot_write;
    case cannot_close:
      return error::condition::cannot_close;
    case changed_while_read:
      return error::condition::changed_while_read;
    case cannot_open:
    case unit_not_connected:
      break;
  }
  return error::condition::cannot_open;
}

std::string report_of(const records::fatal_error& failure) {
  return std::string(records::fatal_report(failure).view());
}

}  // namespace

error::error(std::shared_ptr<const parts> made)
    : std::runtime_error(made->report), parts_(std::move(made)) {}

error::condition error::what_happened() const noexcept {
  return parts_->what_happened;
}
const std::filesystem::path& error::file() const noexcept {
  return parts_->file;
}
int error::unit() const noexcept {
  return parts_->unit;
}
std::int32_t error::statement_line() const noexcept {
  return parts_->statement_line;
}
std::int64_t error::record() const noexcept {
  return parts_->record;
}
std::pair<std::int64_t, std::int64_t> error::columns() const noexcept {
  return {parts_->first_column, parts_->last_column};
}
const std::string& error::field() const noexcept {
  return parts_->field;
}
const std::string& error::cause() const noexcept {
  return parts_->cause;
}

namespace library {

error error_of(const records::fatal_error& failure, std::filesystem::path file) {
  auto made = std::make_shared<error::parts>();
  made->what_happened = condition_of(failure.what_happened);
  made->file = std::move(file);
  made->unit = failure.unit;
  made->statement_line = failure.statement_line;
  // An end of file counts the records read instead of naming one.
  if (failure.what_happened != records::condition::end_of_file) made->record = failure.record;
  made->first_column = failure.first_column;
  made->last_column = failure.last_column;
  made->field = failure.field_text.view();
  made->cause = records::failure_words(failure).view();
  made->report = report_of(failure);
  made->peers = failure.peers;
  return error(std::move(made));
}

}  // namespace library
}  // namespace eigpick
