# Installation and the Debian package. The installation folder (InstallPath)
# is lib/scrivlet under the prefix: the programs, the printer-support library
# and its restore program, the template and the sample pages. The programs
# people start are linked into bin/; the C library, its header and pkg-config
# file go to the usual places; the desktop files under share/. Run paths are
# relative to the binaries, so an unpacked package runs where it lies.
include(GNUInstallDirs)

set(SCRIVLET_INSTALL_FOLDER lib/scrivlet)
set(SCRIVLET_PROGRAMS Scrivlet scrivlet-convert scrivlet-thumbnailer)

set(scrivlet_folder_targets Scrivlet ScrivletSetup SLPrnSupport scrivlet-convert scrivlet-thumbnailer)
if(TARGET Dotlift)
  list(APPEND scrivlet_folder_targets Dotlift DotsweepAll)
endif()
# lib/scrivlet finds its own libraries beside it and the C library in lib/.
set_target_properties(${scrivlet_folder_targets} SLPrnSupprt PROPERTIES INSTALL_RPATH "$ORIGIN:$ORIGIN/..")
# The converter links none of them: without a run path each of its system
# libraries is found at once, not after a look in two folders (and the
# build tree's copy gets no run path held open for the installed one).
set_target_properties(scrivlet-convert PROPERTIES INSTALL_RPATH "")
install(TARGETS ${scrivlet_folder_targets} RUNTIME DESTINATION ${SCRIVLET_INSTALL_FOLDER})
install(TARGETS SLPrnSupprt LIBRARY DESTINATION ${SCRIVLET_INSTALL_FOLDER})
install(FILES ${CMAKE_SOURCE_DIR}/resources/sScrivlet2.dot DESTINATION ${SCRIVLET_INSTALL_FOLDER})
# The help book and the About library the program loads from its folder.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help DESTINATION ${SCRIVLET_INSTALL_FOLDER})
if(TARGET slAbout)
  install(TARGETS slAbout LIBRARY DESTINATION ${SCRIVLET_INSTALL_FOLDER})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/emf/ DESTINATION ${SCRIVLET_INSTALL_FOLDER}/emf
        FILES_MATCHING PATTERN "*.emf")

install(TARGETS scrivlet-emf
        LIBRARY DESTINATION lib
        PUBLIC_HEADER DESTINATION include)
install(FILES ${CMAKE_BINARY_DIR}/capi/scrivlet-emf.pc DESTINATION lib/pkgconfig)

# bin/PROGRAM -> ../lib/scrivlet/PROGRAM
foreach(program ${SCRIVLET_PROGRAMS})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-links)
  file(CREATE_LINK ../${SCRIVLET_INSTALL_FOLDER}/${program} ${CMAKE_BINARY_DIR}/bin-links/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/bin-links/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/desktop/scrivlet.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/scrivlet-mime.xml DESTINATION share/mime/packages RENAME scrivlet.xml)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/scrivlet.thumbnailer DESTINATION share/thumbnailers)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/imagemagick/delegates.xml DESTINATION share/scrivlet/imagemagick)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/icons/scrivlet.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/desktop/icons/scrivlet-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME scrivlet.png)
endforeach()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scrivlet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Scrivlet developers <scrivlet@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pages from the capture printer and enhanced metafiles as images and documents")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the package's own libraries through their run paths.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
configure_file(${CMAKE_SOURCE_DIR}/desktop/debian/postinst.in ${CMAKE_BINARY_DIR}/debian/postinst @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
