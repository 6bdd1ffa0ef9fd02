# The fuzz tree (ELEMTRIX_FUZZ, clang): every library is built with coverage instrumentation,
# so that libFuzzer sees the code under test and not only its targets.
#
# elemtrix_add_fuzzer(NAME SOURCES... LIBS...): a libFuzzer target with a brief run in every
# test pass. It starts from the inputs in fuzz/corpus/NAME/ when there are any; what it finds
# goes to a folder of its own in the build tree, never into the repository.
#
# The tree is optimised (-O1, as libFuzzer's own guide builds) so that a run tries two to three
# times as many inputs as unoptimised code would; the sanitizers find the same faults.
if(ELEMTRIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link -O1)
endif()

function(elemtrix_add_fuzzer name)
  if(NOT ELEMTRIX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  elemtrix_include_root(${name})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(found ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${found})
  set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(NOT EXISTS ${corpus})
    set(corpus)
  endif()
  # `make fuzz` runs longer.
  add_test(NAME ${name} COMMAND ${name} -runs=200000 -max_total_time=8 -max_len=400 ${found}
                                ${corpus})
endfunction()
