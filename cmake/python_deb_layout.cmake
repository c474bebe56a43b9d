# Run by cmake/deb_layout.cmake once eigpick's documents are made: python3-eigpick
# gets the same copyright file and changelog, lintian overrides of its own, and
# an explicit mode on each of its files and directories (all plain files).

set(python_usr "${CPACK_TEMPORARY_DIRECTORY}/python3_eigpick${CPACK_PACKAGING_INSTALL_PREFIX}")
set(python_doc "${python_usr}/share/doc/python3-eigpick")
file(MAKE_DIRECTORY "${python_doc}" "${python_usr}/share/lintian/overrides")
foreach(name IN ITEMS copyright changelog.Debian.gz)
  file(COPY_FILE "${doc_dir}/${name}" "${python_doc}/${name}")
endforeach()
file(COPY_FILE "${debian}/python3-eigpick/lintian-overrides"
     "${python_usr}/share/lintian/overrides/python3-eigpick")
file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}/python3_eigpick"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
