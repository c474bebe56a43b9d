# Read by cpack before it makes each package (CPACK_PROJECT_CONFIG_FILE): the
# dates in every package, the .deb's components and the source package's files.

# git_in_source(OK OUTPUT ARGS...): runs git ARGS in the source tree. OK is true
# and OUTPUT holds what git printed only where the source tree is the top of a
# git checkout and git succeeds.
function(git_in_source ok output)
  set(${ok} FALSE PARENT_SCOPE)
  set(${output} "" PARENT_SCOPE)
  execute_process(COMMAND git rev-parse --show-toplevel WORKING_DIRECTORY "${CPACK_EIGPICK_SOURCE_DIR}"
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT top STREQUAL CPACK_EIGPICK_SOURCE_DIR)
    return()
  endif()
  execute_process(COMMAND git ${ARGN} WORKING_DIRECTORY "${CPACK_EIGPICK_SOURCE_DIR}"
                  OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0)
    set(${ok} TRUE PARENT_SCOPE)
    set(${output} "${text}" PARENT_SCOPE)
  endif()
endfunction()

# Two runs of cpack from one commit must give the same bytes, with nothing set
# by the caller: every time stamp in a package is SOURCE_DATE_EPOCH, which is
# the commit's time unless the caller gives one. Outside a git checkout (an
# unpacked source package) it is the time of the top CMakeLists.txt, which the
# source package dates by the commit too.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  git_in_source(eigpick_git_ok eigpick_epoch log -1 --format=%ct)
  if(NOT eigpick_git_ok OR NOT eigpick_epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP "${CPACK_EIGPICK_SOURCE_DIR}/CMakeLists.txt" eigpick_epoch "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${eigpick_epoch}")
endif()

if(CPACK_GENERATOR STREQUAL "DEB")
  # The package eigpick of the chosen components, grouped: the dynamic program
  # where the build's own is static, and the files; python3-eigpick beside it
  # where the Python module is built (cmake/python_package.cmake).
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL ${CPACK_EIGPICK_DEB_COMPONENTS})
  foreach(component IN LISTS CPACK_EIGPICK_DEB_COMPONENTS)
    string(TOUPPER "${component}" component)
    set(CPACK_COMPONENT_${component}_GROUP eigpick)
  endforeach()
  set(CPACK_DEBIAN_EIGPICK_PACKAGE_NAME eigpick)
  # A package of components takes its Description from its own variable, which
  # cpack starts with CPACK_PACKAGE_DESCRIPTION_SUMMARY unless that is the
  # default: the summary is made the default so that each package's first line
  # is its own synopsis.
  set(CPACK_DEBIAN_EIGPICK_DESCRIPTION
      "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY}")
  if(CPACK_EIGPICK_PYTHON_VERSION)
    include("${CPACK_EIGPICK_SOURCE_DIR}/cmake/python_package.cmake")
  endif()
endif()

# The source package holds exactly the files the commit tracks, as git archive
# gives them, instead of whatever else lies in the source tree.
if(CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  set(eigpick_source_tree "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/eigpick-source-tree")
  file(REMOVE_RECURSE "${eigpick_source_tree}")
  file(MAKE_DIRECTORY "${eigpick_source_tree}")
  git_in_source(eigpick_git_ok eigpick_unused archive --format=tar
                "--output=${eigpick_source_tree}.tar" HEAD)
  if(eigpick_git_ok)
    file(ARCHIVE_EXTRACT INPUT "${eigpick_source_tree}.tar" DESTINATION "${eigpick_source_tree}")
    file(REMOVE "${eigpick_source_tree}.tar")
    set(CPACK_INSTALLED_DIRECTORIES "${eigpick_source_tree};/")
    set(CPACK_IGNORE_FILES "")
  endif()
endif()
