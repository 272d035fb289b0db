# pavona_module(NAME [SOURCES ...] [DEPS ...] [PRIVATE_DEPS ...]): a static library of every .cpp
# in the calling folder unless SOURCES names them. An area with no sources yet is an interface
# library, so the areas above it link the same way before and after it is built.
function(pavona_module name)
  cmake_parse_arguments(M "" "" "DEPS;SOURCES;PRIVATE_DEPS" ${ARGN})
  if(NOT "SOURCES" IN_LIST ARGN)
    file(GLOB M_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(M_SOURCES)
    add_library(${name} STATIC ${M_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# pavona_test(NAME LABEL label SOURCES ... [DEPS ...] [TIMEOUT s] [ENVIRONMENT VAR=value ...]
#             [RESOURCE_LOCK name]): one GoogleTest executable, registered test by test with CTest
# under the given label. Tests sharing a machine-wide resource name the same lock and never overlap.
function(pavona_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT;RESOURCE_LOCK" "SOURCES;DEPS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Under wine every test takes a few seconds at most; a test caught in wine's rare hang is ended
  # soon and run again (tools/windows-tests.sh repeats a test once after a time-out).
  if(WIN32)
    set(T_TIMEOUT 90)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE pavona_test_support ${T_DEPS} GTest::gtest GTest::gtest_main)
  # Empty values would be dropped from the list and shift the pairs, so only given ones are named.
  set(props LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  if(T_ENVIRONMENT)
    list(APPEND props ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# pavona_subdirs(): adds every sub-folder that has a CMakeLists.txt (tests, tools, benchmarks).
function(pavona_subdirs)
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(entry ${entries})
    if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt)
      add_subdirectory(${entry})
    endif()
  endforeach()
endfunction()
