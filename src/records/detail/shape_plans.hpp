#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "records/detail/field_words.hpp"

// A numeric field's shape is its eight columns with every digit taken as one
// character: where its digits, point, signs, exponent marks and blanks lie.
// Everything the scanner decides about a field but its digits' values follows
// from the shape: whether it holds a number at all, its sign, which columns join
// into the mantissa and which into the exponent, and how many fraction digits it
// has. A listing spells its fields in a handful of shapes, so each shape is
// worked out once (plan_of_shape, out of line) and its plan kept in a small
// table; every other field of that shape is read by the plan without a branch on
// its text.
namespace records::detail {

// Why a numeric field could not be converted.
enum class field_failure : std::uint8_t {
  none,
  malformed,     // a character that cannot belong to the number, or no digits at all
  sign_only,     // a sign with nothing after it
  out_of_range,  // an I field beyond the signed 32-bit range
};

// 10^k for k <= 10 is exact in binary32, as is every integer up to 2^24, so one
// division (or multiplication) of the two rounds the decimal value once, correctly.
inline constexpr float exact_powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// A power of ten from 10^-10 to 10^10 as a factor and a divisor, one of them
// 1, and the sign in the factor: the mantissa times the one, divided by the
// other, is rounded once.
struct decimal_scale {
  float times;
  float divided_by;
};
inline constexpr int largest_scale = 10;
inline constexpr auto decimal_scales = [] {
  std::array<std::array<decimal_scale, 2 * largest_scale + 1>, 2> scales{};
  for (std::size_t negative = 0; negative < 2; ++negative) {
    for (std::size_t at = 0; at < scales[negative].size(); ++at) {
      const int exponent = static_cast<int>(at) - largest_scale;
      const float power = exact_powers_of_ten[exponent < 0 ? -exponent : exponent];
      const float sign = negative != 0 ? -1.0f : 1.0f;
      scales[negative][at] =
          exponent < 0 ? decimal_scale{sign, power} : decimal_scale{sign * power, 1.0f};
    }
  }
  return scales;
}();

// How to read a field of one shape, given as one word (field_words.hpp).
struct shape_plan {
  static constexpr std::uint8_t negative = 1;
  static constexpr std::uint8_t point = 2;
  static constexpr std::uint8_t exponent_given = 4;

  // The digit columns, joined in order, whatever lies between them: the
  // mantissa's digits, then the exponent's.
  alignas(16) columns::column_weights digits;
  // 10^(the exponent's digits): the joined number's quotient by it is the
  // mantissa, its remainder r the exponent's digits.
  std::uint32_t divisor = 1;
  // The power of ten is (r ^ flip) - offset: a flip of -1 negates r for a
  // negative exponent (the offset then holds the -1), and the offset takes
  // off the fraction digits, given by the point or implied.
  std::int32_t exponent_flip = 0;
  std::int32_t exponent_offset = 0;
  // decimal_scales for the number's sign, from its 10^0: scales[e] is 10^e.
  const decimal_scale* scales = &decimal_scales[0][largest_scale];
  std::uint8_t flags = 0;
  field_failure failure = field_failure::none;
};

// A field's shape: its word with every digit taken as the character
// '1' + Decimals, Decimals <= 8 (fields of more than eight columns are never
// planned), so that a shape also says what a field without a point implies.
// The plan of a shape; an all-blank shape reads as zero.
[[gnu::noinline]] shape_plan plan_of_shape(std::uint64_t shape);

// No shape holds two different digit characters: a slot holding this holds none.
inline constexpr std::uint64_t no_shape = 0x3231323132313231;  // "12121212"

// The plans of the shapes a channel has met, in memory it lends, which needs no
// initialising until the first plan is made. Each shape has two slots its hash
// names; it is found in one of them, or planned and placed, moving the shape
// it displaces to that one's other slot.
class shape_table {
 public:
  static constexpr int slot_bits = 6;
  static constexpr std::size_t slots = std::size_t{1} << slot_bits;

  // Never initialised: the shapes are filled when the first plan is placed.
  struct memory {  // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::array<std::uint64_t, slots> shapes;
    std::array<shape_plan, slots> plans;
    shape_plan unplaced;  // a plan no slot could take
  };

  shape_table() = default;
  explicit shape_table(memory& room) : room_(&room) {}

  [[gnu::always_inline]] const shape_plan& plan(std::uint64_t shape) {
    const std::uint64_t mixed = hash(shape);
    const std::size_t first = first_slot(mixed);
    if (shapes_[first] == shape) [[likely]] {
      return room_->plans[first];
    }
    const std::size_t second = second_slot(mixed);
    if (shapes_[second] == shape) return room_->plans[second];
    return learn(shape);
  }

 private:
  static std::uint64_t hash(std::uint64_t shape) { return shape * 0x9E3779B97F4A7C15; }
  // A shape's two slots, from the highest bits of its hash.
  static std::size_t first_slot(std::uint64_t mixed) {
    return static_cast<std::size_t>(mixed >> (64 - slot_bits));
  }
  static std::size_t second_slot(std::uint64_t mixed) {
    return static_cast<std::size_t>((mixed >> (64 - 2 * slot_bits)) & (slots - 1));
  }
  [[gnu::noinline]] const shape_plan& learn(std::uint64_t shape);

  static constexpr std::array<std::uint64_t, slots> none = [] {
    std::array<std::uint64_t, slots> shapes{};
    shapes.fill(no_shape);
    return shapes;
  }();
  // The shapes of the slots: none at all until the first plan is placed.
  const std::uint64_t* shapes_ = none.data();
  memory* room_ = nullptr;
};

}  // namespace records::detail
