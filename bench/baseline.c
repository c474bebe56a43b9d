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
 * one record and memory stays flat, as eigpick's does. Exit status 0 when RECORDS
 * lines were read, 1 when the listing ended first or could not be opened, 2 on a
 * bad argument. */

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
  long records = 0;
  /* Bytes of a line read so far without its newline: an unterminated last line
   * is still a record, and there is none after the last newline. */
  size_t open_line = 0;
  while (records < wanted && fgets(buffer, sizeof buffer, listing) != NULL) {
    const size_t length = strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n') {
      ++records;
      open_line = 0;
    } else {
      open_line += length;
    }
  }
  if (records < wanted && open_line > 0) ++records;
  fclose(listing);
  if (records < wanted) {
    fprintf(stderr, "baseline: hdat.out ends after %ld of %ld records\n", records, wanted);
    return 1;
  }
  return 0;
}
