# Helpers shared by every folder of the build.

# A static library of our own code, built with the project's warnings.
function(ombrix_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${OMBRIX_WARNINGS})
endfunction()

# A GoogleTest executable run under wine as one CTest test.
# Usage: ombrix_test(test_name SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS gui] [TIMEOUT s])
function(ombrix_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${OMBRIX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
