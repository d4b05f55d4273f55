# Install rules and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS laavasuihku RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed into /usr, as the Debian package is, the program follows Debian's
# layout and lives in /usr/games; anywhere else it stays in bin/.
install(CODE "
  set(LAAVA_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/laavasuihku\")
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(LAAVA_EXEC /usr/games/laavasuihku)
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}/usr/games\")
    file(RENAME \"\$ENV{DESTDIR}/usr/${CMAKE_INSTALL_BINDIR}/laavasuihku\" \"\$ENV{DESTDIR}\${LAAVA_EXEC}\")
    file(GLOB left \"\$ENV{DESTDIR}/usr/${CMAKE_INSTALL_BINDIR}/*\")
    if(NOT left AND NOT \"\$ENV{DESTDIR}\" STREQUAL \"\")
      file(REMOVE_RECURSE \"\$ENV{DESTDIR}/usr/${CMAKE_INSTALL_BINDIR}\")  # only the package's own empty folder
    endif()
  endif()
")
install(FILES ${CMAKE_BINARY_DIR}/tausta.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/laavasuihku)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The desktop entry starts the program in the folder of its picture, wherever
# this install puts it; so it is written at install time, when the prefix is known.
set(desktop_in ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.desktop.in)
set(desktop_out ${CMAKE_BINARY_DIR}/packaging/laavasuihku.desktop)
install(CODE "
  set(LAAVA_PICTURE_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/laavasuihku\")
  configure_file(\"${desktop_in}\" \"${desktop_out}\" @ONLY)
")
install(FILES ${desktop_out} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The manual page and the changelog, compressed as Debian does.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
foreach(doc laavasuihku.6 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${doc}.gz
                     COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/${doc} > ${CMAKE_BINARY_DIR}/packaging/${doc}.gz
                     DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${doc})
endforeach()
add_custom_target(docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/laavasuihku.6.gz
                                   ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/laavasuihku.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/laavasuihku)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME laavasuihku)
set(CPACK_PACKAGE_VENDOR "The Laavasuihku developers")
set(CPACK_PACKAGE_CONTACT "Laavasuihku developers <laavasuihku@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fountain of glowing particles over a lava field")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Laavasuihku is a real-time particle fountain: up to 999,000 glowing
particles rise from an emitter over a background picture, fade from white
through yellow and red to black, fall under a pull and are launched again.
The mouse moves the emitter; keys widen and narrow the fan, change the pull
and the number of particles, and make the particles bounce off the edges.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
