# Runs eigpick on a listing in a job directory, shows the fort.50 it wrote there
# and compares it with the expected file. Fails, saying why, when the program
# fails or the two files differ, so a build of the example target proves the
# program right as well as showing what it writes.
#
#   cmake -DPROGRAM=EIGPICK -DLISTING=hdat.out -DEXPECTED=fort.50.expected
#         -DJOB_DIR=DIR -P run_example.cmake
cmake_minimum_required(VERSION 3.25)

foreach(name IN ITEMS PROGRAM LISTING EXPECTED JOB_DIR)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "run_example.cmake: -D${name}=... is missing")
  endif()
endforeach()

file(MAKE_DIRECTORY "${JOB_DIR}")
# A fort.50 left by an earlier run must not pass for this run's.
file(REMOVE "${JOB_DIR}/fort.50")
file(COPY_FILE "${LISTING}" "${JOB_DIR}/hdat.out")

execute_process(COMMAND "${PROGRAM}"
                WORKING_DIRECTORY "${JOB_DIR}"
                RESULT_VARIABLE status
                ERROR_VARIABLE report)
if(NOT status STREQUAL "0")
  # Reports and paths are shown as they are: an error message would be rewrapped.
  string(STRIP "${report}" report)
  message("${report}")
  message(FATAL_ERROR "eigpick failed in ${JOB_DIR} with exit status ${status}")
endif()

message("${JOB_DIR}/fort.50:")
execute_process(COMMAND ${CMAKE_COMMAND} -E cat "${JOB_DIR}/fort.50")

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${JOB_DIR}/fort.50" "${EXPECTED}"
                RESULT_VARIABLE differs)
if(NOT differs STREQUAL "0")
  message("${JOB_DIR}/fort.50 differs from ${EXPECTED}")
  message(FATAL_ERROR "the example did not convert to the expected fort.50")
endif()
message("${JOB_DIR}/fort.50 matches ${EXPECTED}")
