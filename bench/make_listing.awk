# Writes a listing shaped as eigpick reads it, on standard output:
#   awk -v banner=300 -v rows=200 [-v style=odd|all_odd] [-v fail_row=N] -f make_listing.awk
# With -v count=1 it prints instead how many records of it eigpick reads.
# `banner` records before the marker, block A with `rows` rows of eight columns,
# block B with `rows` rows of six columns, then a short trailer. Numbers come from
# a fixed multiplicative congruential sequence, so every run writes the same bytes.
#
# style=odd spells the same records in every other legal way, field by field in
# turn: no point (implied decimals), exponents with "E", "e", "D" and "d" with and
# without a sign, a bare sign ("-9.854-2"), blanks inside fields, "+" signs,
# leading zeros; every seventh row is cut short before its last coefficient, and
# every record ends with CR LF. style=all_odd spells every coefficient and
# eigenvalue in one of the other ways, none in the shape a listing prints (a "+"
# alone would keep that shape, so it is left out), and every root number and
# index field that has another spelling in its columns is signed, zero-filled or
# left-justified; rows are cut short and records end as in style=odd.
# fail_row=N puts a field that is no number into row N of block B, where eigpick
# stops: it reads up to that record.
#
# With rows = 200 block A ends on its row limit and reads no terminating record,
# so block B's first header record follows row 200 directly. With fewer rows a
# blank record ends block A. Rows past 200 are not supported.

function next_unit() {
  # Park-Miller: every product stays exact in awk's doubles.
  seed = (seed * 16807) % 2147483647
  return seed / 2147483647
}

function coefficient() {
  return 2 * next_unit() - 1
}

function emit(line) {
  printf("%s%s", line, eol)
}

# The text of `v` in an F8.d field, the way a listing prints it or, in the odd
# style, the n-th of the other spellings of about the same value.
function real_text(v, d, n,    text, exponent_text, parts, mantissa, power, digits) {
  text = sprintf("%8." d "f", v)
  if (!odd) return text
  # Every spelling but the printed one and the bare "+": 1-7 and 9.
  n = style == "odd" ? n % 10 : 1 + n % 8
  if (style == "all_odd" && n == 8) n = 9
  if (n == 1) {
    text = sprintf("%d", v * 10 ^ d + (v < 0 ? -0.5 : 0.5))
  } else if (n >= 2 && n <= 6) {
    digits = v < 0 ? 2 : 3
    split(sprintf("%." digits "e", v), parts, "e")
    mantissa = parts[1]
    power = parts[2] + 0
    if (n == 2) exponent_text = sprintf("E%+d", power)
    if (n == 3) exponent_text = "e" power
    if (n == 4) exponent_text = sprintf("D%+d", power)
    if (n == 5) exponent_text = "d" power
    if (n == 6) exponent_text = sprintf("%+d", power)
    text = mantissa exponent_text
  } else if (n == 7) {
    # A blank after the sign or the first digit.
    text = sprintf("%." (v < 0 ? d - 1 : d) "f", v)
    text = substr(text, 1, 1) " " substr(text, 2)
  } else if (n == 8) {
    text = sprintf("%+." (v < 0 ? d : d) "f", v)
  } else if (n == 9) {
    text = sprintf("%08." (v < 0 ? d - 1 : d) "f", v)
  }
  if (length(text) > 8) text = sprintf("%8." d "f", v)
  return sprintf("%8s", text)
}

# The text of `k` in an Iw field, likewise.
function integer_text(k, w, n,    text) {
  text = sprintf("%" w "d", k)
  if (!odd) return text
  n = style == "odd" ? n % 4 : 1 + n % 3
  if (n == 1) text = sprintf("%0" w "d", k)
  if (n == 2) text = sprintf("+%" (w - 1) "d", k)
  if (n == 3) text = sprintf("%-" w "d", k)
  if (length(text) > w) text = sprintf("%" w "d", k)
  return text
}

function row(k, columns, block,    line, j, last) {
  line = sprintf("%-4s%-4s%s", labels[(k - 1) % label_count], atom[(k - 1) % 2],
                 integer_text(k, 3, k))
  # Block A's rows hold four more coefficients before the four it reads.
  last = columns
  if (odd && k % 7 == 0) last = columns - 1
  for (j = 1; j <= last; ++j) {
    if (block == "B" && k == fail_row && j == 3) {
      line = line "0.1x2345"
      coefficient()
    } else {
      line = line real_text(coefficient(), 5, k + j)
    }
  }
  emit(line)
}

function header(first_root, columns, root_lead, root_width,    line, j) {
  # Root numbers, symmetry labels and eigenvalues, each after a blank record.
  line = sprintf("%" root_lead "s%s", "", integer_text(first_root, root_width, first_root))
  for (j = 2; j <= columns; ++j)
    line = line integer_text(first_root + j - 1, 8, first_root + j)
  emit(line)
  emit("")
  line = sprintf("%9s", "")
  for (j = 1; j <= columns; ++j)
    line = line sprintf("%8s", symmetry[(first_root + j) % 4])
  emit(line)
  emit("")
  line = sprintf("%11s", "")
  for (j = 1; j <= columns; ++j)
    line = line real_text(-20 + 3 * (first_root + j) + next_unit(), 3, first_root + j)
  emit(line)
  emit("")
}

BEGIN {
  if (banner == "") banner = 300
  if (rows == "") rows = 200
  if (fail_row == "") fail_row = 0
  if (count) {
    # Banner, marker, block A's 8 header records, its rows and the record that
    # ends a block of fewer than 200, block B's 7 header records and its rows,
    # or those up to the bad one.
    print banner + 1 + 8 + rows + (rows < 200) + 7 + (fail_row > 0 ? fail_row : rows)
    exit
  }
  odd = style == "odd" || style == "all_odd"
  eol = odd ? "\r\n" : "\n"
  seed = 20240101
  label_count = split("  S |  S |  Px|  Py|  Pz|  S |  Px|  Py|  Pz| D0 | D+1| D-1| D+2| D-2", raw, "|")
  for (i = 1; i <= label_count; ++i)
    labels[i - 1] = raw[i]
  atom[0] = " O 1"
  atom[1] = " H 2"
  split("A1 B1 B2 A2", raw, " ")
  for (i = 1; i <= 4; ++i)
    symmetry[i - 1] = raw[i]

  # The banner never holds "EIGE" in columns 17-20.
  for (i = 1; i <= banner; ++i)
    emit(sprintf("  ITERATION %5d   TOTAL ENERGY %16.8f   DELTA %12.8f", i, -76 - next_unit(),
                 next_unit() / i))
  emit("                EIGENVECTORS")

  # Block A: a blank record and the "ROOT NO." record, then roots 1-8 from column 10.
  emit("")
  emit("                     ROOT NO.")
  header(1, 8, 9, 8)
  for (k = 1; k <= rows; ++k)
    row(k, 8, "A")
  if (rows < 200) emit("")

  # Block B: the record that its first statement skips, then roots 9-14 from
  # column 12 (the first one six columns wide).
  emit("                     ROOT NO.")
  header(9, 6, 11, 6)
  for (k = 1; k <= rows; ++k)
    row(k, 6, "B")

  emit("")
  emit(sprintf("  TOTAL ELECTRONIC ENERGY  = %16.8f HARTREE", -85 - next_unit()))
  emit("  ...... END OF CALCULATION ......")
}
