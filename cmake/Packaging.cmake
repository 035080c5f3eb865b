# Installing Quillbook like any desktop program, and its Debian package
# (scripts/package.sh): the program and its metafile helper, the data a user's
# program folder is laid out from, the menu entry, icon, AppStream data and manual page.
include(GNUInstallDirs)

install(TARGETS quillbook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillbook-wmf RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quillbook)
install(DIRECTORY ${CMAKE_BINARY_DIR}/assets-out/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quillbook
        FILES_MATCHING PATTERN "*.bmp" PATTERN "PhotoData.mdb")
install(FILES assets/desktop/quillbook.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES assets/desktop/org.quillbook.Quillbook.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES assets/icons/quillbook.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png")

# The manual page, the changelog and the copyright as Debian lays them out.
set(QUILL_DOC_OUT ${CMAKE_BINARY_DIR}/doc-out)
add_custom_command(
    OUTPUT ${QUILL_DOC_OUT}/quillbook.1.gz ${QUILL_DOC_OUT}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILL_DOC_OUT}
    COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/assets/desktop/quillbook.1' > '${QUILL_DOC_OUT}/quillbook.1.gz'"
    COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/assets/desktop/changelog' > '${QUILL_DOC_OUT}/changelog.gz'"
    DEPENDS assets/desktop/quillbook.1 assets/desktop/changelog
    VERBATIM)
add_custom_target(quill_docs ALL DEPENDS ${QUILL_DOC_OUT}/quillbook.1.gz ${QUILL_DOC_OUT}/changelog.gz)
install(FILES ${QUILL_DOC_OUT}/quillbook.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILL_DOC_OUT}/changelog.gz assets/desktop/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillbook)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbook)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_PACKAGE_CONTACT "Quillbook developers <developers@quillbook.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillbook.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so no linked library names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-image-formats-plugins, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "simple photo album with a dated note for every picture
Quillbook keeps pictures in albums of ten pages with twelve pictures each,
turned full-screen. Pictures are added from files or from the clipboard of
any other program, deleted, shown at full size and printed. Every picture
can carry a date and a description, kept in a small database that can be
browsed and searched.")
include(CPack)
