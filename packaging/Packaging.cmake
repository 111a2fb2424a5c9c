# The Debian package (./vesperon.sh package, or `cpack -G DEB` in the build
# folder): the program, the command-line tool, kelmsp with its headers and
# CMake package, the Python package where it is built, the desktop entry,
# MIME types, icons, the user guide, manual pages and bash completion. The
# dependencies are computed from the binaries by dpkg-shlibdeps.

# Manual pages: vesperon-cli(1) from the option tables the parser and --help
# are made from, so the three never disagree; vesperon(1) from its template.
set(VES_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(VES_CLI_MAN ${VES_MAN_DIR}/vesperon-cli.1.gz)
add_custom_command(OUTPUT ${VES_CLI_MAN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VES_MAN_DIR}
  COMMAND $<TARGET_FILE:vesperon-cli> --man > ${VES_MAN_DIR}/vesperon-cli.1
  COMMAND gzip -9nf ${VES_MAN_DIR}/vesperon-cli.1
  DEPENDS vesperon-cli
  COMMENT "Writing the manual page vesperon-cli(1)"
  VERBATIM)
configure_file(${CMAKE_SOURCE_DIR}/packaging/vesperon.1 ${VES_MAN_DIR}/vesperon.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(VES_APP_MAN ${VES_MAN_DIR}/vesperon.1.gz)
set(VES_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${VES_APP_MAN} ${VES_CHANGELOG}
  COMMAND gzip -9nkf ${VES_MAN_DIR}/vesperon.1
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${VES_MAN_DIR}/vesperon.1 ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vesperon_man ALL DEPENDS ${VES_CLI_MAN} ${VES_APP_MAN} ${VES_CHANGELOG})

install(FILES ${VES_CLI_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET vesperon)
  install(FILES ${VES_APP_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vesperon-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vesperon-cli)
# The same script completes both commands; bash-completion loads it by name.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vesperon-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vesperon)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${VES_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vesperon)

set(CPACK_PACKAGE_NAME vesperon)
set(CPACK_PACKAGE_VENDOR "The Vesperon developers")
set(CPACK_PACKAGE_CONTACT "The Vesperon developers <maintainers@vesperon.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record, measure, identify and edit ultrasonic bat calls")
# The synopsis is the summary above; CPack indents these lines and turns the
# empty one into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vesperon records, shows, measures, plays, filters and edits ultrasonic
animal sounds, above all bat echolocation calls recorded at 192-500 kHz or
with time-expanding detectors: spectrogram, oscillogram and zero-crossing
views, measurement windows, a virtual bat detector, call detection with the
call parameters of the field, species models a user trains, season projects
with a review window, and Anabat zero-crossing files.

The package holds the desktop program vesperon, the command-line tool
vesperon-cli, the signal-processing library kelmsp with its headers, and
the Python package vesperon.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vesperon.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# kelmsp is a shared library of the package: its shlibs entry, and the
# ldconfig trigger that Debian uses instead of maintainer scripts.
get_target_property(VES_KELMSP_SOVERSION kelmsp SOVERSION)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/shlibs "libkelmsp ${VES_KELMSP_SOVERSION} vesperon (>= ${PROJECT_VERSION})\n")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/shlibs ${CMAKE_BINARY_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The Python package's own imports are no shared libraries: named by hand.
if(TARGET vesperon_python OR TARGET _vesperon)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.11), python3-numpy, python3-pandas")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-distributed")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
include(CPack)

if(VES_BUILD_TESTS)
  # Builds the package from this build and runs what it installs (skipped,
  # exit 77, without Debian's dpkg-dev).
  add_test(NAME package_deb COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/package_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900 RUN_SERIAL ON LABELS package)
endif()
