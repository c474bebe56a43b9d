# Run by cpack over its staging directory after the other scripts that shape a
# package (CPACK_PRE_BUILD_SCRIPTS), for every package, the source package too:
# every directory, and every file that anyone may execute, gets mode 0755, and
# every other file 0644. Staged files otherwise keep the modes of the checkout
# they were copied from and directories take the umask of the build, so the
# same commit would give other bytes on another machine.

find_program(eigpick_chmod chmod REQUIRED)
# X grants execute only to directories and to files that already have it.
execute_process(COMMAND "${eigpick_chmod}" -R u=rwX,go=rX "${CPACK_TEMPORARY_DIRECTORY}"
                RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "package_modes.cmake: chmod of ${CPACK_TEMPORARY_DIRECTORY} failed")
endif()
