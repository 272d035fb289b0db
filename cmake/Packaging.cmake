# The Debian package: `cpack -G DEB` in the release build folder. It holds the program, its desktop
# entry, the icon in the hicolor theme at several sizes, the AppStream metainfo, the manual page and
# the licences (the embedded typeface's among them). Run the `pavona-package-files` target first;
# installing never builds the rest of the tree (tests, benchmarks).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(_src ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_gen})

# The version is the release date: 2026.10.6 → 2026-10-06.
string(REPLACE "." ";" _parts "${PROJECT_VERSION}")
list(GET _parts 0 _y)
list(GET _parts 1 _m)
list(GET _parts 2 _d)
string(LENGTH "${_m}" _ml)
string(LENGTH "${_d}" _dl)
if(_ml EQUAL 1)
  set(_m "0${_m}")
endif()
if(_dl EQUAL 1)
  set(_d "0${_d}")
endif()
set(PAVONA_RELEASE_DATE "${_y}-${_m}-${_d}")
# Noon UTC of that day; the weekday is worked out so the changelog's date is a true one.
execute_process(COMMAND env LC_ALL=C date -u -d "${PAVONA_RELEASE_DATE} 12:00:00" "+%a, %d %b %Y %H:%M:%S +0000"
                OUTPUT_VARIABLE PAVONA_RELEASE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
set(PAVONA_MAINTAINER "Pavona maintainers <maintainers@users.noreply.c-seed-762814b1.example>")

file(READ ${PROJECT_SOURCE_DIR}/resources/fonts/README.md _fonts_readme)
string(REGEX MATCH "Pretendard ([0-9.]+)" _unused "${_fonts_readme}")
set(PAVONA_FONT_VERSION "${CMAKE_MATCH_1}")
# The licence text as a field's continuation: each line indented, empty lines as " .".
file(STRINGS ${PROJECT_SOURCE_DIR}/resources/fonts/LICENSE.txt _font_lines)
set(PAVONA_FONT_LICENSE "")
foreach(_line IN LISTS _font_lines)
  string(STRIP "${_line}" _stripped)
  if(_stripped STREQUAL "")
    string(APPEND PAVONA_FONT_LICENSE " .\n")
  else()
    string(APPEND PAVONA_FONT_LICENSE " ${_line}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" PAVONA_FONT_LICENSE "${PAVONA_FONT_LICENSE}")

configure_file(${_src}/pavona-agent.metainfo.xml ${_gen}/pavona-agent.metainfo.xml @ONLY)
configure_file(${_src}/pavona-agent.1 ${_gen}/pavona-agent.1 @ONLY)
configure_file(${_src}/changelog.in ${_gen}/changelog @ONLY)
configure_file(${_src}/copyright.in ${_gen}/copyright @ONLY)

add_executable(pavona-appicon ${_src}/AppIconMain.cpp)
target_link_libraries(pavona-appicon PRIVATE pavona_app)

# gzip -n: no name or time stamp inside, so the same sources give the same package.
add_custom_command(
  OUTPUT ${_gen}/pavona-agent.1.gz ${_gen}/changelog.gz ${_gen}/icons/256x256/apps/pavona-agent.png
  COMMAND gzip -9nkf ${_gen}/pavona-agent.1 ${_gen}/changelog
  COMMAND pavona-appicon ${_gen}/icons
  DEPENDS ${_gen}/pavona-agent.1 ${_gen}/changelog pavona-appicon
  COMMENT "Package files: manual page, changelog and icons")
add_custom_target(pavona-package-files
  DEPENDS ${_gen}/pavona-agent.1.gz ${_gen}/changelog.gz ${_gen}/icons/256x256/apps/pavona-agent.png pavona-agent)

install(TARGETS pavona-agent RUNTIME DESTINATION bin)
install(FILES ${_src}/pavona-agent.desktop DESTINATION share/applications)
install(FILES ${_gen}/pavona-agent.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${_gen}/icons/ DESTINATION share/icons/hicolor)
install(FILES ${_gen}/pavona-agent.1.gz DESTINATION share/man/man1)
install(FILES ${_gen}/copyright ${_gen}/changelog.gz DESTINATION share/doc/pavona-agent)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pavona-agent)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_CONTACT "${PAVONA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "store-side reporting agent of the agri-food discount programme")
# The extended description; CPack puts the summary above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Runs beside a store's POS: reads its database read-only over ODBC, works
out per sold line the discount that came from the association's subsidised
coupons, keeps every report line on disk until the association has it, sends
the lines to the association's HTTPS API and warns the store as its subsidy
budget runs out, from a Korean tray application.")
# The libraries the program links are found by dpkg-shlibdeps; the ODBC drivers it loads by name
# (SQL Server through FreeTDS, the demo and test POS through SQLite) are declared here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, odbcinst, libsqliteodbc, tdsodbc")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
