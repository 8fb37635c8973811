# Runs in CPack between staging the install and building a package. For the
# .deb only, it makes the staged tree follow Debian policy: the manual page
# compressed, and a copyright file and a changelog in the documentation
# folder. The plain install and the .tar.gz keep the files as they are.
cmake_policy(VERSION 3.25)
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${usr}/share/doc/${CPACK_PACKAGE_NAME}")

# gzip -9n: the best compression, and no name or time stamp in the header,
# so the same sources give the same package.
function(gzip_into source target)
  execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${target}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "deb_policy: gzip ${source} failed")
  endif()
  file(CHMOD "${target}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

set(man "${usr}/share/man/man1/${CPACK_PACKAGE_NAME}.1")
gzip_into("${man}" "${man}.gz")
file(REMOVE "${man}")

# The licence's text moves into the copyright file, where Debian keeps it.
file(REMOVE "${doc}/LICENSE")
configure_file("${CPACK_ZQ_SOURCE_DIR}/packaging/debian/copyright" "${doc}/copyright" COPYONLY)
file(CHMOD "${doc}/copyright" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# A native package's changelog, dated with the release.
execute_process(COMMAND date -R -u -d "${CPACK_ZQ_RELEASE_DATE}"
                OUTPUT_VARIABLE ZQ_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "deb_policy: cannot format the date ${CPACK_ZQ_RELEASE_DATE}")
endif()
set(changelog "${CPACK_TOPLEVEL_DIRECTORY}/changelog")
configure_file("${CPACK_ZQ_SOURCE_DIR}/packaging/debian/changelog.in" "${changelog}" @ONLY)
gzip_into("${changelog}" "${doc}/changelog.gz")
