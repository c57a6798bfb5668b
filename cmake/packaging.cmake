# The programs as packages: `cpack` in a Linux build makes a Debian package of the name changer
# (with its desktop entry and icon) and qmzip (with its manual page); in the Windows build, a
# .zip of the .exe files. Only the "programs" component goes in; the engine's headers and static
# libraries are for `cmake --install` (install_engine.cmake).
include(GNUInstallDirs)

install(TARGETS qmzip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
if(TARGET quillmark-name-changer)
  install(TARGETS quillmark-name-changer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT programs)
endif()

if(NOT WIN32)
  if(TARGET quillmark-name-changer)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark-name-changer.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark-name-changer.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps COMPONENT programs)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/qmzip.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
endif()

set(CPACK_PACKAGE_NAME quillmark-name-changer)
set(CPACK_PACKAGE_VENDOR "Quillmark name changer developers")
set(CPACK_PACKAGE_CONTACT "Quillmark name changer developers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Changes the offline player name of the Quillmark client; qmzip, a ZIP tool")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};programs;/")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries the programs link (Qt, zlib) are found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
