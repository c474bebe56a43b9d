# Run by cpack between installing into its staging directory and building the
# package: gives the .deb Debian's layout, a manual page compressed with
# gzip -9n (no name or time stamp, so the package is reproducible) and the
# licence as the package's copyright file. Other packages keep the plain
# install layout.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(page "${root}/share/man/man1/eigpick.1")
set(doc_dir "${root}/share/doc/eigpick")
foreach(path IN ITEMS "${page}" "${doc_dir}/LICENSE")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "deb_layout.cmake: the install put no ${path}")
  endif()
endforeach()

find_program(eigpick_gzip gzip REQUIRED)
execute_process(COMMAND "${eigpick_gzip}" -9nf "${page}" RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "deb_layout.cmake: gzip ${page} failed")
endif()

file(RENAME "${doc_dir}/LICENSE" "${doc_dir}/copyright")
