# Run by cpack between installing into its staging directory and building the
# package: gives the .deb Debian's layout. The manual page and the changelog
# are compressed with gzip -9n (no name or time stamp, so the package is
# reproducible); the licence gives way to a machine-readable copyright file
# that points to the system's copy of the Apache License; the changelog is
# dated by SOURCE_DATE_EPOCH (cmake/package_config.cmake); lintian's overrides
# come from cmake/debian/. Other packages keep the plain install layout.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# The package eigpick is made of chosen components, staged in the directory of
# their group (cmake/package_config.cmake).
set(root "${CPACK_TEMPORARY_DIRECTORY}/eigpick${CPACK_PACKAGING_INSTALL_PREFIX}")
set(page "${root}/share/man/man1/eigpick.1")
set(doc_dir "${root}/share/doc/eigpick")
set(debian "${CPACK_EIGPICK_SOURCE_DIR}/cmake/debian")
foreach(path IN ITEMS "${page}" "${doc_dir}/LICENSE")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "deb_layout.cmake: the install put no ${path}")
  endif()
endforeach()

file(REMOVE "${doc_dir}/LICENSE")
file(COPY_FILE "${debian}/copyright" "${doc_dir}/copyright")
# Each override says why it is there.
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${debian}/lintian-overrides" "${root}/share/lintian/overrides/eigpick")

set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(upstream_version "${CPACK_PACKAGE_VERSION}")
set(maintainer "${CPACK_DEBIAN_PACKAGE_MAINTAINER}")
# string(TIMESTAMP) takes the time from SOURCE_DATE_EPOCH.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${debian}/changelog.in" "${doc_dir}/changelog.Debian" @ONLY)

find_program(eigpick_gzip gzip REQUIRED)
foreach(path IN ITEMS "${page}" "${doc_dir}/changelog.Debian")
  execute_process(COMMAND "${eigpick_gzip}" -9nf "${path}" RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "deb_layout.cmake: gzip ${path} failed")
  endif()
endforeach()

# python3-eigpick, where the Python module is built.
if(CPACK_EIGPICK_PYTHON_VERSION)
  include("${CPACK_EIGPICK_SOURCE_DIR}/cmake/python_deb_layout.cmake")
endif()
