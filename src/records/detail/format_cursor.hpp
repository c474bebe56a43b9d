#pragma once

#include <cstddef>

#include "records/format.hpp"

namespace records::detail {

// Where a statement stands in its format. The matching rules are the same for
// reading and writing; what a skip, a slash or a literal does belongs to the
// statement, the `Side`, which provides skip(columns), next_record(),
// literal(text) and mismatch(wanted, met), the last for an item that meets a
// field of another kind (met) or no field at all (nullptr).
class format_cursor {
 public:
  explicit constexpr format_cursor(format_view format) : format_(format) {}

  // Carries the format on to the next field item, performing the skips, slashes
  // and literals before it; an item that finds the format at its ")" reverts it to
  // the first item on a new record. Inline because it runs for every item, and
  // most of the time only skips stand before the field.
  template <typename Side>
  constexpr const format_item& next_field(Side& side, item_kind wanted) {
    while (next_ < format_.size) {
      const format_item& item = format_.items[next_];
      if (item.kind == wanted) {
        ++next_;
        return item;
      }
      if (item.kind != item_kind::skip) break;
      side.skip(item.width);
      ++next_;
    }
    return next_field_slowly(side, wanted);
  }

  // The end of a statement: skips, slashes and literals are performed up to the
  // next field item or the ")", whichever comes first.
  template <typename Side>
  constexpr void finish(Side& side) {
    while (next_ < format_.size && !format_.items[next_].is_field())
      perform(side, format_.items[next_++]);
  }

 private:
  template <typename Side>
  constexpr const format_item& next_field_slowly(Side& side, item_kind wanted) {
    while (true) {
      if (next_ == format_.size) {
        if (!format_.has_field) side.mismatch(wanted, nullptr);
        side.next_record();
        next_ = 0;
        continue;
      }
      const format_item& item = format_.items[next_++];
      if (!item.is_field()) {
        perform(side, item);
        continue;
      }
      if (item.kind != wanted) side.mismatch(wanted, &item);
      return item;
    }
  }

  template <typename Side>
  constexpr void perform(Side& side, const format_item& item) {
    switch (item.kind) {
      case item_kind::skip:
        side.skip(item.width);
        break;
      case item_kind::slash:
        side.next_record();
        break;
      case item_kind::literal:
        side.literal(format_.literal(item));
        break;
      case item_kind::character:
      case item_kind::integer:
      case item_kind::real:
        break;
    }
  }

  format_view format_;
  std::size_t next_ = 0;
};

}  // namespace records::detail
