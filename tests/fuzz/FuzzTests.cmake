# Runs the native fuzz targets as tests of the cross build: one test builds them (clang, into
# <build>/fuzz), then each target runs for a few seconds from its seeds (label "fuzz").
include(${CMAKE_CURRENT_LIST_DIR}/Targets.cmake)
set(OMBRIX_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in the tests")
set(fuzz_script ${CMAKE_SOURCE_DIR}/scripts/fuzz.sh)
add_test(NAME fuzz.build COMMAND bash ${fuzz_script} --build-only --out ${CMAKE_BINARY_DIR}/fuzz)
set_tests_properties(fuzz.build PROPERTIES FIXTURES_SETUP ombrix_fuzz LABELS fuzz TIMEOUT 600)
foreach(target ${OMBRIX_FUZZ_TARGETS})
  add_test(NAME fuzz.${target} COMMAND bash ${fuzz_script} --no-build --out ${CMAKE_BINARY_DIR}/fuzz
    --seconds ${OMBRIX_FUZZ_SECONDS} ${target})
  set_tests_properties(fuzz.${target} PROPERTIES FIXTURES_REQUIRED ombrix_fuzz LABELS fuzz TIMEOUT 120)
endforeach()
