# One logic library per module folder: every .cpp below the folder except the windows/, tests/,
# tools/ and app/ subfolders. Windows of a module live in <module>/windows and form a second library.
function(tarn_collect out dir)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(kept)
  foreach(f IN LISTS all)
    file(RELATIVE_PATH rel ${dir} ${f})
    if(NOT rel MATCHES "(^|/)(windows|tests|tools|app|fuzz)/")
      list(APPEND kept ${f})
    endif()
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# tarn_logic_library(<target> [DEPS ...]) in a module's CMakeLists.
function(tarn_logic_library target)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  tarn_collect(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  list(FILTER srcs INCLUDE REGEX "\\.cpp$")
  if(NOT srcs)  # a module whose code has not landed yet
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${A_DEPS})
    return()
  endif()
  tarn_collect(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${A_DEPS})
endfunction()

# tarn_windows_library(<target> [DEPS ...]): the module's windows/ folder.
function(tarn_windows_library target)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.h)
  if(NOT srcs)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${A_DEPS} Qt6::Widgets)
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${A_DEPS} Qt6::Widgets)
endfunction()

# tarn_tests(<target> MAIN core|gui [DEPS ...]): one test program from the module's tests/ folder.
# Each test runs as its own process with a fresh TARNRQ_HOME (see testing/).
function(tarn_tests target)
  if(NOT TARNRQ_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "MAIN" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.h)
  if(NOT srcs)
    return()
  endif()
  if(NOT A_MAIN)
    set(A_MAIN core)
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE ${A_DEPS} tarnrq_testmain_${A_MAIN} GTest::gmock)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TARNRQ_AUTOANSWER=0;TARNRQ_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
    TIMEOUT 300)
endfunction()
