# Installed layout (GNU): programs in bin/, the roster reader in libexec/corvane-lite/, the
# desktop entry, icon, AppStream metainfo, man pages, user guide and sample rosters under share/.
include(GNUInstallDirs)

set(CORVANE_APP_ID org.corvane.CorvaneLite)

# From the build tree the help finds the guide in the sources.
set_property(SOURCE src/app/ui/Help.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             CORVANE_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")

# --version of both programs
target_compile_definitions(corvane-lite PRIVATE CORVANE_VERSION="${PROJECT_VERSION}")
if(TARGET corvane-batch)
  target_compile_definitions(corvane-batch PRIVATE CORVANE_VERSION="${PROJECT_VERSION}")
endif()

install(TARGETS corvane-lite RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET corvane-batch)
  install(TARGETS corvane-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The wizard and the batch program look for the reader beside themselves or here.
if(TARGET corvane-import)
  install(TARGETS corvane-import RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/corvane-lite)
endif()

install(FILES data/${CORVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${CORVANE_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/${CORVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages go in compressed, as Debian expects them.
find_program(GZIP_PROGRAM gzip)
foreach(_page corvane-lite corvane-batch)
  set(_src ${CMAKE_CURRENT_SOURCE_DIR}/docs/man/${_page}.1)
  if(GZIP_PROGRAM)
    set(_gz ${CMAKE_CURRENT_BINARY_DIR}/man/${_page}.1.gz)
    add_custom_command(OUTPUT ${_gz}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND ${GZIP_PROGRAM} -9 -n -c ${_src} > ${_gz}
                       DEPENDS ${_src} VERBATIM)
    list(APPEND _man_pages ${_gz})
  else()
    list(APPEND _man_pages ${_src})
  endif()
endforeach()
add_custom_target(corvane-man ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The user guide sits where the wizard's help looks for it: <bin>/../share/doc/corvane-lite/.
set(CORVANE_DOC_DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvane-lite)
install(FILES docs/user-guide.md data/copyright DESTINATION ${CORVANE_DOC_DESTINATION})
install(DIRECTORY docs/images DESTINATION ${CORVANE_DOC_DESTINATION} FILES_MATCHING PATTERN "*.png")
if(GZIP_PROGRAM)
  set(_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${_changelog}
                     COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/data/changelog > ${_changelog}
                     DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/changelog VERBATIM)
  add_custom_target(corvane-changelog ALL DEPENDS ${_changelog})
  install(FILES ${_changelog} DESTINATION ${CORVANE_DOC_DESTINATION})
endif()

install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane-lite/examples
        FILES_MATCHING PATTERN "*.xls" PATTERN "*.csv")

# Debian package (scripts/package.sh): dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME corvane-lite)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane Lite maintainers <maintainers@corvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "urinalysis drug test wizard for military unit rosters")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvane Lite turns a unit roster (Excel, comma or tab text, Access or
dBase) into a urinalysis drug test: it maps the roster's columns, draws
the members to be tested and prints the test's paperwork - the DD Form
2624 specimen custody document with Code 128 barcodes, the testing
register, the notification and working copies and bottle labels.
The package also holds corvane-batch, the same test without the wizard.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Liberation fonts stand in for the forms' Arial and Courier New; the windowing plugins are no
# library the program links, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The user guide's screenshots (scripts/screenshots.sh); not part of the installed program.
find_package(Qt6 QUIET COMPONENTS Test)
if(TARGET Qt6::Test)
  add_executable(corvane-screenshots EXCLUDE_FROM_ALL tools/screenshots/main.cpp)
  target_link_libraries(corvane-screenshots PRIVATE corvane_ui Qt6::Test)
endif()
