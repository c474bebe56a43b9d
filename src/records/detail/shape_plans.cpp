#include "records/detail/shape_plans.hpp"

#include <bit>
#include <utility>

#include "records/detail/field_words.hpp"

namespace records::detail {
namespace {

using namespace columns;

// Columns from `from` up to `to` (not included), a bit each.
std::uint32_t columns_between(std::uint32_t from, std::uint32_t to) {
  return columns_from[from] & ~columns_from[to];
}

// What a shape says of its number, read from a word with no blank after its
// first filled column and digits as '0': a sign, digits with at most one point,
// then perhaps an exponent ("E", "e", "D" or "d" and an optional sign, or a
// bare sign, then digits to the last column). Without a point, the last
// `decimals` digits are the fraction.
void read_number(std::uint64_t word, std::int32_t decimals, shape_plan& plan) {
  const column_kinds kinds = classify(word);
  auto first = static_cast<std::uint32_t>(std::countr_zero(~kinds.blanks & all_columns));
  if (const char lead = column(word, first); lead == '-' || lead == '+') {
    if (lead == '-') {
      plan.flags = shape_plan::negative;
      plan.scales = &decimal_scales[1][largest_scale];
    }
    if (++first == columns_in_word) {
      plan.failure = field_failure::sign_only;
      return;
    }
  }
  const std::uint32_t point_columns = columns::points(word);
  const std::uint32_t others = ~(kinds.digits | point_columns) & columns_from[first];
  // The mantissa ends where the exponent begins.
  const auto end = static_cast<std::uint32_t>(std::countr_zero(others | 0x100));
  const std::uint32_t points = point_columns & columns_from[first];
  if ((kinds.digits & columns_between(first, end)) == 0 || (points & (points - 1)) != 0 ||
      (points & columns_from[end]) != 0) {
    plan.failure = field_failure::malformed;
    return;
  }
  plan.exponent_offset = decimals;
  if (points != 0) {
    plan.exponent_offset = static_cast<std::int32_t>(end) - std::countr_zero(points) - 1;
    plan.flags |= shape_plan::point;
  }
  if (others == 0) return;
  const std::uint64_t marks = word >> (8 * end);
  const auto marker = static_cast<char>(marks);
  const bool letter = marker == 'E' || marker == 'e' || marker == 'D' || marker == 'd';
  // The exponent's sign: after a letter, or the bare sign itself.
  const auto sign = static_cast<char>(marks >> (letter ? 8 : 0));
  const bool signed_exponent = sign == '-' || sign == '+';
  const std::uint32_t exponent_digits = end + 1 + (letter && signed_exponent ? 1 : 0);
  if (!(letter || signed_exponent) || exponent_digits >= columns_in_word ||
      (kinds.digits & columns_from[exponent_digits]) != columns_from[exponent_digits]) {
    plan.failure = field_failure::malformed;
    return;
  }
  plan.flags |= shape_plan::exponent_given;
  if (sign == '-') {
    plan.exponent_flip = -1;
    plan.exponent_offset -= 1;
  }
}

// How the digits of a valid number's word join: in column order, blanks
// anywhere passed over, the exponent's digits after the first mark that is no
// digit, point or blank after the first filled column (which may be a sign).
void place_digits(std::uint64_t word, shape_plan& plan) {
  const column_kinds kinds = classify(word);
  const auto first = static_cast<std::uint32_t>(std::countr_zero(~kinds.blanks & all_columns));
  const std::uint32_t marks =
      ~(kinds.digits | columns::points(word) | kinds.blanks) & columns_from[first + 1];
  const auto marker = static_cast<std::uint32_t>(std::countr_zero(marks | 0x100));
  plan.divisor = powers_of_ten[std::popcount(kinds.digits & columns_from[marker])];
  for (std::uint32_t half = 0; half < 2; ++half) {
    std::int16_t weight = 1;
    for (std::uint32_t c = 4 * half + 4; c-- > 4 * half;) {
      if ((kinds.digits >> c & 1) == 0) continue;
      plan.digits.weights[c] = weight;
      weight = static_cast<std::int16_t>(weight * 10);
    }
    if (half == 1) plan.digits.first_half_scale = static_cast<std::uint32_t>(weight);
  }
}

// The shape with its digits as '0', and the decimals their character gives.
std::pair<std::uint64_t, std::int32_t> shape_with_zeros(std::uint64_t shape) {
  const std::uint64_t digits = columns::digit_bytes(shape);
  if (digits == 0) return {shape, 0};
  const auto mark = static_cast<unsigned char>(
      column(shape, static_cast<std::uint32_t>(std::countr_zero(digits)) / 8));
  return {shape ^ ((shape ^ (ones * '0')) & digits), mark - '1'};
}

}  // namespace

shape_plan plan_of_shape(std::uint64_t field_shape) {
  shape_plan plan;
  const auto [shape, decimals] = shape_with_zeros(field_shape);
  const column_kinds kinds = classify(shape);
  const std::uint32_t filled = ~kinds.blanks & all_columns;
  if (filled == 0) return plan;  // all blank: zero
  // Blanks are ignored wherever they stand: the number is read from the
  // columns without those after the first filled one.
  const std::uint32_t inner = kinds.blanks & columns_from[std::countr_zero(filled)];
  read_number(inner != 0 ? without_blanks(shape, inner) : shape, decimals, plan);
  if (plan.failure == field_failure::none) place_digits(shape, plan);
  return plan;
}

const shape_plan& shape_table::learn(std::uint64_t shape) {
  if (shapes_ == none.data()) {
    room_->shapes = none;
    shapes_ = room_->shapes.data();
  }
  const auto slots_of = [](std::uint64_t planned) {
    const std::uint64_t mixed = hash(planned);
    return std::pair{first_slot(mixed), second_slot(mixed)};
  };
  const shape_plan planned = plan_of_shape(shape);
  std::uint64_t moving = shape;
  shape_plan plan = planned;
  auto [at, other] = slots_of(shape);
  if (room_->shapes[at] != no_shape && room_->shapes[other] == no_shape) at = other;
  // A displaced shape moves to its other slot, up to a few times; one still
  // moving after that is dropped, and planned again when next met.
  constexpr int most_moves = 8;
  for (int move = 0; move < most_moves && moving != no_shape; ++move) {
    std::swap(room_->shapes[at], moving);
    std::swap(room_->plans[at], plan);
    const auto [first, second] = slots_of(moving);
    at = at == first ? second : first;
  }
  const auto [first, second] = slots_of(shape);
  if (room_->shapes[first] == shape) return room_->plans[first];
  if (room_->shapes[second] == shape) return room_->plans[second];
  room_->unplaced = planned;
  return room_->unplaced;
}

}  // namespace records::detail
