# The packaging tests: they render, install and package what this build
# made; they also check scripts/install-deps, and that the README's pictures
# show the screens of tests/golden/ as they are (`make golden` redraws them).
# A sanitizer build would package the same files, so they run in the plain
# build only; the Windows build checks its own .zip.
set(zq_pkg_tests ${PROJECT_SOURCE_DIR}/tests/packaging)
if(ZQ_TESTS AND WIN32)
  add_test(NAME zip_package COMMAND ${zq_pkg_tests}/zip_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(zip_package PROPERTIES TIMEOUT 120)
elseif(ZQ_TESTS AND NOT ZQ_SANITIZE)
  add_test(NAME man_page
           COMMAND ${zq_pkg_tests}/man_page_test.sh ${PROJECT_BINARY_DIR}/zorvikqm-setup.1 ${PROJECT_VERSION})
  add_test(NAME install_uninstall
           COMMAND ${zq_pkg_tests}/install_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  add_test(NAME deb_package COMMAND ${zq_pkg_tests}/deb_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  add_test(NAME install_deps COMMAND ${zq_pkg_tests}/install_deps_test.sh ${PROJECT_SOURCE_DIR}/scripts/install-deps)
  add_test(NAME screen_pictures COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/screen-pictures.py --check)
  # 77: a tool the test needs is not installed (scripts/install-deps test).
  set_tests_properties(man_page install_uninstall deb_package install_deps PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
