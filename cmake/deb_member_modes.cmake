# Run by cpack after it has made the packages (CPACK_POST_BUILD_SCRIPTS), on
# its own copies before they reach the output directory. A .deb is an ar
# archive of three members (debian-binary, control.tar.gz, data.tar.gz) that
# cpack writes to disk under the umask of the build and then archives with the
# modes they got there: each member's mode becomes 0644 in place, as dpkg-deb
# writes it, so the .deb holds the same bytes whatever the umask.

find_program(eigpick_dd dd REQUIRED)
set(mode_file "${CPACK_TOPLEVEL_DIRECTORY}/deb-member-mode")
# An ar header's mode field: eight columns of octal, left-justified.
file(WRITE "${mode_file}" "100644  ")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE "${package}" package_size)
  # Each member: a 60-column header (name 16, date 12, owner 6, group 6, mode 8,
  # size 10, then "`\n"), its bytes, and one byte of padding after an odd size.
  set(header 8)  # after the archive's "!<arch>\n"
  while(header LESS package_size)
    file(READ "${package}" fields OFFSET ${header} LIMIT 60)
    string(SUBSTRING "${fields}" 48 10 member_size)
    string(STRIP "${member_size}" member_size)
    string(SUBSTRING "${fields}" 58 2 header_end)
    if(NOT member_size MATCHES "^[0-9]+$" OR NOT header_end STREQUAL "`\n")
      message(FATAL_ERROR "deb_member_modes.cmake: ${package} has no ar member header at ${header}")
    endif()
    math(EXPR mode_at "${header} + 40")
    execute_process(COMMAND "${eigpick_dd}" "of=${package}" bs=1 seek=${mode_at} conv=notrunc
                            status=none
                    INPUT_FILE "${mode_file}" RESULT_VARIABLE status)
    if(NOT status STREQUAL "0")
      message(FATAL_ERROR "deb_member_modes.cmake: writing the mode of a member of ${package} failed")
    endif()
    math(EXPR header "${header} + 60 + ${member_size} + ${member_size} % 2")
  endwhile()
endforeach()
file(REMOVE "${mode_file}")
