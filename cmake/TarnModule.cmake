# Every module folder builds one logic library and, where it has windows, one windows library from
# explicit source lists. Which module may use which is checked by the layer test (tools/layers.py).

# tarn_logic_library(<target> SOURCES ... [DEPS ...])
function(tarn_logic_library target)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${target} STATIC ${A_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${A_DEPS})
endfunction()

# tarn_windows_library(<target> SOURCES ... [DEPS ...]): the module's windows/ folder.
function(tarn_windows_library target)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${target} STATIC ${A_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${A_DEPS} Qt6::Widgets)
endfunction()

# tarn_tests(<target> MAIN core|gui SOURCES ... [DEPS ...]): one test program. Logic tests use the
# core main (a QCoreApplication, so they prove the logic needs no display); window tests the gui
# main. Each test runs as its own process with a fresh TARNRQ_HOME (see testsupport/).
function(tarn_tests target)
  if(NOT TARNRQ_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "MAIN" "SOURCES;DEPS" ${ARGN})
  if(NOT A_MAIN)
    set(A_MAIN core)
  endif()
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_DEPS} tarnrq_testmain_${A_MAIN} GTest::gmock)
  target_compile_definitions(${target} PRIVATE TARNRQ_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()
