# find_package(eigpick 0.2 CONFIG): the imported executable eigpick::eigpick,
# the installed program, for add_custom_command and $<TARGET_FILE:...>, and
# the library eigpick::libeigpick, whose header is <eigpick/eigpick.hpp>.
include("${CMAKE_CURRENT_LIST_DIR}/eigpickTargets.cmake")
