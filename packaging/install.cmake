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

# Software centres show raster icons; they are rendered from the SVG where
# rsvg-convert (librsvg2-bin) is at hand, so a build of the program alone needs it not.
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icons)
  foreach(size 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/laavasuihku.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
                       COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.svg
                       DEPENDS ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.svg)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND icons ${png})
  endforeach()
  add_custom_target(icons ALL DEPENDS ${icons})
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed")
endif()

# The id a software centre knows the program by: the desktop entry and the
# AppStream metadata are named after it.
set(app_id io.github.laavasuihku.laavasuihku)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${app_id}.metainfo.xml)

# The desktop entry starts the program in the folder of its picture, wherever
# this install puts it; so it is written at install time, when the prefix is known.
set(desktop_in ${CMAKE_CURRENT_LIST_DIR}/laavasuihku.desktop.in)
set(desktop_out ${CMAKE_BINARY_DIR}/packaging/${app_id}.desktop)
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
