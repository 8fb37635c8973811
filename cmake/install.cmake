# What `cmake --install` puts where, and the packages built from it.
# Included last from the top-level CMakeLists.txt, so the program's target
# and the one version number of project() are known here.
include(GNUInstallDirs)

# The day this version was released: the date of the manual page and of the
# Debian changelog. Changes together with the version in project().
set(ZQ_RELEASE_DATE "2026-12-07")

if(WIN32)
  # The program beside the players' README and the licence, for the game's
  # folder. README.txt: the README's part above "Building and testing", as
  # plain text with CRLF endings for Notepad, made afresh from README.md.
  set(ZQ_INSTALL_DIRS .)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/README.txt
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/players-readme.py
            ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.txt
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/players-readme.py ${PROJECT_SOURCE_DIR}/README.md
    COMMENT "Writing the players' README.txt"
    VERBATIM
  )
  add_custom_target(players_readme ALL DEPENDS ${PROJECT_BINARY_DIR}/README.txt)
  install(TARGETS zorvikqm-setup RUNTIME DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt LICENSE DESTINATION .)
else()
  set(ZQ_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorvikqm-setup)
  set(ZQ_ICON_DIRS)
  foreach(size 16 32 48)
    list(APPEND ZQ_ICON_DIRS ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  set(ZQ_INSTALL_DIRS ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man1
      ${CMAKE_INSTALL_DATAROOTDIR}/applications ${ZQ_ICON_DIRS} ${ZQ_DOC_DIR})

  configure_file(packaging/zorvikqm-setup.1.in zorvikqm-setup.1 @ONLY)

  # First, before any file: which of the folders the install is about to create.
  install(CODE "include(\"${CMAKE_CURRENT_LIST_DIR}/install_record.cmake\")
  zq_record_begin(\"${ZQ_INSTALL_DIRS}\")")
  install(TARGETS zorvikqm-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/zorvikqm-setup.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/zorvikqm-setup.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  foreach(size 16 32 48)
    install(FILES assets/icons/zorvikqm-setup-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
            RENAME zorvikqm-setup.png)
  endforeach()
  install(FILES README.md LICENSE DESTINATION ${ZQ_DOC_DIR})
  # Last: the record that `make uninstall` works from.
  install(CODE "zq_record_end(\"${PROJECT_BINARY_DIR}\")")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
include(${PROJECT_SOURCE_DIR}/tests/packaging/tests.cmake)
