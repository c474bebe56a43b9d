# Binary packages of the program from the install rules: `cpack -G DEB` and
# `cpack -G TGZ` in the build directory. Both hold the stripped program, its
# manual page, the licence and the CMake package files. The tarball holds the
# program as built; the .deb a dynamically linked one (see CMakeLists.txt),
# with Debian's layout of the rest (cmake/deb_layout.cmake). Every package is
# reproducible: cmake/package_config.cmake dates its files by the commit, and
# cmake/package_modes.cmake and cmake/deb_member_modes.cmake give them modes
# of their own, whatever the umask.

# The .deb's Maintainer is whoever builds it: by default, as Debian's own tools
# take it, DEBFULLNAME and DEBEMAIL (or DEBEMAIL alone as "Name <address>")
# when the build directory is first configured. Without them the field says
# that nobody was named, at an address that can never be mailed (.invalid is
# reserved for that), which lintian accepts.
set(eigpick_maintainer "Unnamed packager <unnamed@packager.invalid>")
if("$ENV{DEBEMAIL}" MATCHES "^[^<>]*[^<> ] <[^<>]+>$")
  set(eigpick_maintainer "$ENV{DEBEMAIL}")
elseif(NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(eigpick_maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(EIGPICK_PACKAGE_MAINTAINER "${eigpick_maintainer}"
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
# The .deb's layout first, then the modes of everything in any package.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_layout.cmake
                            ${PROJECT_SOURCE_DIR}/cmake/package_modes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_member_modes.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_config.cmake)
# What those two scripts need to know of this build.
set(CPACK_EIGPICK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_EIGPICK_DEB_COMPONENTS ${eigpick_package_components})
# Python's MAJOR.MINOR where the module is built, for python3-eigpick.
set(CPACK_EIGPICK_PYTHON_VERSION "${eigpick_python_version}")

# eigpick_VERSION-1_ARCH.deb, the architecture as dpkg names it; the package
# revision makes it a package of the project's release, as lintian expects of
# a package with a Debian changelog.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EIGPICK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dynamic program's Depends come from dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Source archives: the tracked files of the commit (cmake/package_config.cmake);
# outside a git checkout, the tree without builds and version control.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")

include(CPack)
