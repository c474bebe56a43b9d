/* Wall time of several commands measured in turns: one run of the first, one of
 * the second, ..., then the first again, so a burst of load on a shared machine
 * falls on all of them alike instead of on whichever happened to run then.
 *
 *   alternate RUNS WARMUP COMMAND [ARG...] [:: COMMAND [ARG...]]...
 *
 * Runs WARMUP unrecorded rounds, then RUNS recorded ones, each command started
 * with posix_spawnp from the current directory with its standard output on
 * /dev/null. Prints one line per command, in the order given: the median wall
 * time of its recorded runs in milliseconds, then their lower and upper
 * quartiles, which show how much the runs spread. A run is timed from just before
 * its spawn to its reaping, so process start-up is part of every figure, as it
 * is of every real run.
 *
 * Exit status 0; 1 when a run failed (the figures of a program that did not do
 * its job mean nothing) or a command could not be started; 2 on bad arguments. */

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { max_commands = 8 };

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static long count_argument(const char* text) {
  char* end = NULL;
  const long value = strtol(text, &end, 10);
  return (*text != '\0' && *end == '\0' && value >= 0) ? value : -1;
}

static int compare(const void* a, const void* b) {
  const double x = *(const double*)a;
  const double y = *(const double*)b;
  return (x > y) - (x < y);
}

/* One run of argv; its wall time in milliseconds, or a negative value when it
 * could not be started or did not exit with status 0. */
static double run_once(char** argv, const posix_spawn_file_actions_t* actions) {
  const double start = now_ms();
  pid_t pid;
  const int error = posix_spawnp(&pid, argv[0], actions, NULL, argv, environ);
  if (error != 0) {
    fprintf(stderr, "alternate: cannot start %s: %s\n", argv[0], strerror(error));
    return -1;
  }
  int status;
  if (waitpid(pid, &status, 0) != pid) {
    perror("alternate: waitpid");
    return -1;
  }
  const double elapsed = now_ms() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "alternate: %s failed (%s %d)\n", argv[0],
            WIFEXITED(status) ? "exit status" : "signal",
            WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    return -1;
  }
  return elapsed;
}

/* WARMUP unrecorded rounds, then RUNS recorded ones of every command in turn;
 * command c's times go to times[c * runs ...]. 1 as soon as a run fails. */
static int take_turns(char** const* commands, int command_count, long runs, long warmup,
                      const posix_spawn_file_actions_t* actions, double* times) {
  for (long round = 0; round < warmup + runs; ++round) {
    for (int c = 0; c < command_count; ++c) {
      const double elapsed = run_once(commands[c], actions);
      if (elapsed < 0) return 1;
      if (round >= warmup) times[(size_t)c * (size_t)runs + (size_t)(round - warmup)] = elapsed;
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fputs("usage: alternate RUNS WARMUP COMMAND [ARG...] [:: COMMAND [ARG...]]...\n", stderr);
    return 2;
  }
  const long runs = count_argument(argv[1]);
  const long warmup = count_argument(argv[2]);
  if (runs < 1 || warmup < 0) {
    fputs("alternate: RUNS must be a positive count and WARMUP a count\n", stderr);
    return 2;
  }

  /* Split the rest at each "::" in place: every command's argv ends in NULL. */
  char** commands[max_commands];
  int command_count = 0;
  char** start = argv + 3;
  for (char** arg = start;; ++arg) {
    if (*arg == NULL || strcmp(*arg, "::") == 0) {
      if (arg == start || command_count == max_commands) {
        fputs("alternate: empty command, or too many\n", stderr);
        return 2;
      }
      commands[command_count++] = start;
      if (*arg == NULL) break;
      *arg = NULL;
      start = arg + 1;
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  double* times = malloc(sizeof(double) * (size_t)runs * (size_t)command_count);
  int status = 1;
  if (times == NULL)
    perror("alternate");
  else
    status = take_turns(commands, command_count, runs, warmup, &actions, times);
  if (status == 0) {
    for (int c = 0; c < command_count; ++c) {
      double* own = times + (size_t)c * (size_t)runs;
      qsort(own, (size_t)runs, sizeof(double), compare);
      printf("%.4f %.4f %.4f\n", (own[(runs - 1) / 2] + own[runs / 2]) / 2, own[(runs - 1) / 4],
             own[(3 * runs) / 4]);
    }
  }
  free(times);
  posix_spawn_file_actions_destroy(&actions);
  return status;
}
