/* The floor that eigpick's whole-process figures are held against: a plain C
 * program that reads the records eigpick reads and does nothing else.
 *
 * Run in the directory holding "hdat.out" as `baseline RECORDS`: it opens the
 * listing with stdio, reads it line by line with fgets until RECORDS lines have
 * been consumed (for the bench listings, RECORDS ends with the last row of block
 * B, the last record eigpick reads), and exits. It converts no field and writes
 * no file, so whatever eigpick spends beyond it is the cost of its own work.
 *
 * A line is taken through a fixed buffer in pieces, so a line of any length is
 * one record and memory stays flat, as eigpick's does. The line's length is
 * never measured: a byte of the buffer that fgets reaches only when a line fills
 * the buffer tells a cut line from a whole one, so the reader does no more than
 * any reader of lines must. Exit status 0 when RECORDS lines were read, 1 when
 * the listing ended first or could not be opened, 2 on a bad argument. */

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: baseline RECORDS\n", stderr);
    return 2;
  }
  char* end = NULL;
  const long wanted = strtol(argv[1], &end, 10);
  if (*argv[1] == '\0' || *end != '\0' || wanted < 0) {
    fputs("baseline: RECORDS must be a count\n", stderr);
    return 2;
  }
  FILE* listing = fopen("hdat.out", "r");
  if (listing == NULL) {
    perror("baseline: hdat.out");
    return 1;
  }
  char buffer[4096];
  /* fgets reaches this byte only with a piece of at least sizeof buffer - 2
   * bytes: left as it was, the piece's terminating NUL or a newline, the piece
   * ends its line; any other byte, and the line goes on. */
  char* const sentinel = &buffer[sizeof buffer - 2];
  long records = 0;
  /* The last piece read was cut: an unterminated last line of exactly a
   * buffer's length is still a record. */
  int cut = 0;
  *sentinel = '\n';
  while (records < wanted && fgets(buffer, sizeof buffer, listing) != NULL) {
    if (*sentinel == '\n' || *sentinel == '\0') {
      ++records;
      cut = 0;
    } else {
      *sentinel = '\n';
      cut = 1;
    }
  }
  if (records < wanted && cut) ++records;
  fclose(listing);
  if (records < wanted) {
    fprintf(stderr, "baseline: hdat.out ends after %ld of %ld records\n", records, wanted);
    return 1;
  }
  return 0;
}
