# Writes a listing shaped as eigpick reads it, on standard output:
#   awk -v banner=300 -v rows=200 -f make_listing.awk
# With -v count=1 it prints instead how many records of it eigpick reads.
# `banner` records before the marker, block A with `rows` rows of eight columns,
# block B with `rows` rows of six columns, then a short trailer. Numbers come from
# a fixed multiplicative congruential sequence, so every run writes the same bytes.
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

function row(k, columns,    line, j) {
  line = sprintf("%-4s%-4s%3d", labels[(k - 1) % label_count], atom[(k - 1) % 2], k)
  for (j = 1; j <= columns; ++j)
    line = line sprintf("%8.5f", coefficient())
  print line
}

function header(first_root, columns, root_lead, root_width,    line, j) {
  # Root numbers, symmetry labels and eigenvalues, each after a blank record.
  line = sprintf("%" root_lead "s%" root_width "d", "", first_root)
  for (j = 2; j <= columns; ++j)
    line = line sprintf("%8d", first_root + j - 1)
  print line
  print ""
  line = sprintf("%9s", "")
  for (j = 1; j <= columns; ++j)
    line = line sprintf("%8s", symmetry[(first_root + j) % 4])
  print line
  print ""
  line = sprintf("%11s", "")
  for (j = 1; j <= columns; ++j)
    line = line sprintf("%8.3f", -20 + 3 * (first_root + j) + next_unit())
  print line
  print ""
}

BEGIN {
  if (banner == "") banner = 300
  if (rows == "") rows = 200
  if (count) {
    # Banner, marker, block A's 8 header records, its rows and the record that
    # ends a block of fewer than 200, block B's 7 header records and its rows.
    print banner + 1 + 8 + rows + (rows < 200) + 7 + rows
    exit
  }
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
    printf("  ITERATION %5d   TOTAL ENERGY %16.8f   DELTA %12.8f\n", i, -76 - next_unit(),
           next_unit() / i)
  print "                EIGENVECTORS"

  # Block A: a blank record and the "ROOT NO." record, then roots 1-8 from column 10.
  print ""
  print "                     ROOT NO."
  header(1, 8, 9, 8)
  for (k = 1; k <= rows; ++k)
    row(k, 8)
  if (rows < 200) print ""

  # Block B: the record that its first statement skips, then roots 9-14 from
  # column 12 (the first one six columns wide).
  print "                     ROOT NO."
  header(9, 6, 11, 6)
  for (k = 1; k <= rows; ++k)
    row(k, 6)

  print ""
  printf("  TOTAL ELECTRONIC ENERGY  = %16.8f HARTREE\n", -85 - next_unit())
  print "  ...... END OF CALCULATION ......"
}
