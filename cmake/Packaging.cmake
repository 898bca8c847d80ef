# Where `cmake --install` puts everything, and the packages CPack makes of that tree: on Linux a Debian package and a
# .tar.gz of the same /usr tree, on Windows a zip of the DLLs with an install note. Every front end adds its own
# install rule; the packages take whatever is installed.
set(CMAKE_INSTALL_DOCDIR share/doc/tessaloom CACHE PATH "Documentation folder")
include(GNUInstallDirs)

set(TESSALOOM_DOC_FILES README.md LICENSE)
if(WIN32)
  # The folder that becomes the zip: the DLL in a folder named for its bitness, the note and the licence beside it.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TESSALOOM_WINDOWS_FOLDER 64-bit)
  else()
    set(TESSALOOM_WINDOWS_FOLDER 32-bit)
  endif()
  install(TARGETS Tessaloom RUNTIME DESTINATION ${TESSALOOM_WINDOWS_FOLDER}
    ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
  install(FILES packaging/INSTALL-Windows.txt DESTINATION . RENAME INSTALL.txt)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  # lib itself rather than the multiarch library folder: hosts search <prefix>/lib/vst and <prefix>/lib/lv2.
  install(TARGETS Tessaloom LIBRARY DESTINATION lib/vst PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  if(TARGET tessaloom-render)
    install(TARGETS tessaloom-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${TESSALOOM_RENDER_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${TESSALOOM_RENDER_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
            RENAME tessaloom-render)
  endif()
  install(FILES ${TESSALOOM_DOC_FILES} packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME tessaloom)
  # Debian's policy wants the changelog compressed with gzip -9n (no name or time stamp inside).
  find_program(TESSALOOM_GZIP NAMES gzip)
  if(TESSALOOM_GZIP)
    configure_file(packaging/changelog.Debian.in changelog.Debian @ONLY)
    add_custom_command(OUTPUT changelog.Debian.gz
      COMMAND ${TESSALOOM_GZIP} -9nc changelog.Debian > changelog.Debian.gz
      DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian)
    add_custom_target(tessaloom_changelog ALL DEPENDS changelog.Debian.gz)
    # A native package (no Debian revision) names it changelog.gz.
    install(FILES ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.gz)
  endif()
endif()

set(CPACK_PACKAGE_NAME tessaloom)
set(CPACK_PACKAGE_VENDOR Vornmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo saturating filter plug-in (VST 2.4, LV2) with a tempo-synced LFO")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tessaloom-${PROJECT_VERSION}-windows)
  # The other bitness's build folder, when given, goes into the same zip (the win64 and win32 presets build both).
  set(TESSALOOM_OTHER_WINDOWS_BUILD "" CACHE PATH "The other-bitness Windows build folder to add to the zip")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Tessaloom;ALL;/")
  if(TESSALOOM_OTHER_WINDOWS_BUILD)
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${TESSALOOM_OTHER_WINDOWS_BUILD};Tessaloom;ALL;/")
  endif()
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vornmark <packages@vornmark.example>")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vornmark.example/")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The extended description only: CPack puts the summary before it and indents every line by one space.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessaloom is a stereo audio effect: a soft saturation stage, a resonant
low-pass, high-pass or dual LP/HP filter whose cutoff an LFO moves in time
with the host's tempo, a second saturation stage and a dry/wet mix.
.
This package installs the VST 2.4 plug-in in /usr/lib/vst, the LV2 bundle
with its factory presets in /usr/lib/lv2 and the command-line render tool
tessaloom-render, which processes audio files through the plug-in.")
  set(CPACK_PACKAGE_FILE_NAME tessaloom-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
