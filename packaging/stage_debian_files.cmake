# Run by CPack once the files are installed in its staging folder, before the
# .deb is made: adds what Debian keeps in every package's documentation (the
# copyright file, and the changelog compressed: this is a native package) and compresses the manual
# pages with gzip -9n, as Debian does.
set(doc "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/doc/scrivel")
file(COPY "${CPACK_SCRIVEL_PACKAGING_DIR}/copyright" DESTINATION "${doc}")
configure_file("${CPACK_SCRIVEL_PACKAGING_DIR}/changelog" "${doc}/changelog" COPYONLY)
file(GLOB man_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/man/man1/*.1")
foreach(file IN LISTS man_pages ITEMS "${doc}/changelog")
  execute_process(COMMAND gzip -9nf "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
