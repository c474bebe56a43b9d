# Read by cmake/package_config.cmake for the .deb where the Python module is
# built: the package python3-eigpick of component python3_eigpick beside
# eigpick, the module for the interpreter it was built for (Python
# CPACK_EIGPICK_PYTHON_VERSION) and its stub. cmake/python_deb_layout.cmake
# gives it its documents.

list(APPEND CPACK_COMPONENTS_ALL python3_eigpick)
set(CPACK_DEBIAN_PYTHON3_EIGPICK_PACKAGE_NAME python3-eigpick)
# Built from the same sources as eigpick, whose changelog it carries.
set(CPACK_DEBIAN_PYTHON3_EIGPICK_PACKAGE_SOURCE eigpick)
set(CPACK_DEBIAN_PYTHON3_EIGPICK_PACKAGE_SECTION python)
# The module loads into this one Python version only, and imports numpy; the
# C and C++ runtimes it needs come from dpkg-shlibdeps.
string(REGEX REPLACE "^3\\.([0-9]+)$" "\\1" minor "${CPACK_EIGPICK_PYTHON_VERSION}")
math(EXPR next_minor "${minor} + 1")
set(CPACK_DEBIAN_PYTHON3_EIGPICK_PACKAGE_DEPENDS
    "python3 (>= 3.${minor}~), python3 (<< 3.${next_minor}), python3-numpy")
set(CPACK_DEBIAN_PYTHON3_EIGPICK_DESCRIPTION [=[
Python 3 module converting and reading eigenvector listings
The module eigpick gives Python programs what the program eigpick does,
without a process for each job directory: convert(directory) reads the
fixed-column listing of molecular-orbital eigenvectors hdat.out in a
calculation's directory and writes its vector file fort.50, byte for
byte as the program does; read_listing(path) and read_vector_file(path)
read a listing or a vector file into numpy arrays of the ten
eigenvectors, their eigenvalues and their root numbers. A failure
raises eigpick.ListingError, which carries the program's one-line
report and its parts. Calls release the global interpreter lock, so
threads may convert different directories at once.]=])
