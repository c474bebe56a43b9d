# Binary packages of the program from the install rules: `cpack -G DEB` and
# `cpack -G TGZ` in the build directory. Both hold the stripped program, its
# manual page and the licence; cmake/deb_layout.cmake gives the .deb Debian's
# layout of the last two.

set(EIGPICK_PACKAGE_MAINTAINER
    "eigpick maintainers <maintainers@users.noreply.c-seed-2ebed51a.example>"
    CACHE STRING "Name <address> for the Maintainer field of the .deb")

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_NAME eigpick)
set(CPACK_PACKAGE_VENDOR "eigpick maintainers")
set(CPACK_PACKAGE_CONTACT "${EIGPICK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "extracts ten eigenvectors from an orbital listing into a vector file")
# Written for a chemist deciding whether this is the converter their chain
# needs; lines stay within the 80 columns that dpkg shows.
set(CPACK_PACKAGE_DESCRIPTION [=[
eigpick is run once, without arguments, in the directory of a
calculation. It reads the fixed-column listing of molecular-orbital
eigenvectors hdat.out, takes ten of them (four coefficient columns of
the first block after the EIGENVECTORS heading and the six columns of
the next block) with their root numbers and eigenvalues, reorders the
rows of every p shell from Px, Py, Pz to Py, Pz, Px, and writes the
fixed-column vector file fort.50 that later programs of the chain read.
Numbers are converted exactly, so the same listing always gives the
same fort.50. A listing it cannot read ends the run with one line on
standard error and exit status 1.]=])
# Archives: eigpick-VERSION-linux-MACHINE.tar.gz, holding bin/, share/man/
# and share/doc/.
set(CPACK_PACKAGE_FILE_NAME
    "eigpick-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
# The program is installed stripped into every package.
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_layout.cmake)

# eigpick_VERSION_ARCH.deb, the architecture as dpkg names it.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EIGPICK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A static executable depends on nothing; a dynamic one gets its Depends from
# dpkg-shlibdeps (package dpkg-dev).
if(NOT eigpick_static_link)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# Source archives: the tracked tree, without builds and version control.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/out/")

include(CPack)
