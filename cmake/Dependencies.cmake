# Every dependency comes from a Debian package (tools/deps.txt).
find_package(Threads REQUIRED)
if(WIN32)
  # The Windows build takes what Windows itself has: the ODBC driver manager, CNG, DPAPI, the
  # registry and the window messages. libcurl, OpenSSL and libpng have no mingw package on Debian.
  add_library(ODBC::ODBC INTERFACE IMPORTED)
  set_target_properties(ODBC::ODBC PROPERTIES INTERFACE_LINK_LIBRARIES odbc32)
  # zlib from libz-mingw-w64-dev, linked in: one .exe without DLLs.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  # nlohmann-json is headers only: the host's Debian package serves the Windows build too, through
  # a folder that holds nothing else of the host's headers.
  set(PAVONA_HOST_INCLUDE ${CMAKE_BINARY_DIR}/host-include)
  file(MAKE_DIRECTORY ${PAVONA_HOST_INCLUDE})
  file(CREATE_LINK /usr/include/nlohmann ${PAVONA_HOST_INCLUDE}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${PAVONA_HOST_INCLUDE})
  return()
endif()
find_package(CURL REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(ODBC REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(PkgConfig REQUIRED)
# cpp-httplib ships no CMake package; its pkg-config file carries the OpenSSL/zlib/brotli
# defines that change its class layouts, so every user must take them from here.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
if(PAVONA_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
endif()
if(PAVONA_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(PAVONA_BENCH)
  find_package(benchmark REQUIRED)
endif()
