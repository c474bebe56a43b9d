# find_package(eigpick 0.1 CONFIG): the imported executable eigpick::eigpick,
# the installed program, for add_custom_command and $<TARGET_FILE:...>.
include("${CMAKE_CURRENT_LIST_DIR}/eigpickTargets.cmake")
