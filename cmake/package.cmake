# `make package`: CPack builds, from the install rules, a .deb and a .tar.gz
# of the installed tree on Unix, and a .zip in the Windows cross build.
set(CPACK_PACKAGE_NAME zorvikqm-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvik Quelta Marundo Setup developers")
set(CPACK_PACKAGE_CONTACT "Zorvik Quelta Marundo Setup developers <setup@zorvikqm.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup utility of the game Zorvik Quelta Marundo")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A full-screen, coloured terminal program in which the player of Zorvik"
  "Quelta Marundo changes the game's 21 display, sound and game options with"
  "the arrow keys, and saves them to zorvikqm.ini in the current directory."
  "Only the game's own keys are changed: comments, other sections and line"
  "endings of the file are kept as they were, and a save never leaves half a"
  "file. It needs a terminal of at least 80 columns by 23 rows."
  "Licensed under the MIT licence.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME zorvikqm-setup-${PROJECT_VERSION}-win64)
  # The files at the top of the archive, no folder around them: "Extract
  # here" in the game's folder puts the program where the game's
  # zorvikqm.ini is.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB TGZ)
  # The Debian package: its runtime dependencies are what dpkg-shlibdeps
  # finds the binary linked against; files that Debian policy asks of a
  # package but the plain install has no use for are added by deb_policy.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Not "games": Debian keeps that for games themselves, in /usr/games.
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb_policy.cmake)
  set(CPACK_ZQ_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(CPACK_ZQ_BINARY_DIR ${PROJECT_BINARY_DIR})
  set(CPACK_ZQ_RELEASE_DATE ${ZQ_RELEASE_DATE})
endif()

include(CPack)
