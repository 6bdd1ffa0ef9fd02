# elemtrix_add_test(NAME SOURCES... LIBS ...): a GoogleTest program run by CTest, natively or,
# in the Windows tree, under Wine in the tree's own prefix.
if(ELEMTRIX_TESTS)
  enable_testing()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

if(WIN32)
  # Each build has a prefix of its own: win32 for the i686 build, win64 for the x86_64 one, which
  # runs under Wine's 64-bit loader through the wrappers in scripts/wine64.
  set(ELEMTRIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ELEMTRIX_WINE_ENV WINEARCH=win64 "PATH=${PROJECT_SOURCE_DIR}/scripts/wine64:$ENV{PATH}")
  else()
    set(ELEMTRIX_WINE_ENV WINEARCH=win32)
  endif()
  list(APPEND ELEMTRIX_WINE_ENV WINEPREFIX=${ELEMTRIX_WINEPREFIX} WINEDEBUG=-all)
  # The same settings for the scripts that run this tree's programs outside CTest.
  list(TRANSFORM ELEMTRIX_WINE_ENV REPLACE "^([A-Z]+)=(.*)$" "export \\1='\\2'" OUTPUT_VARIABLE lines)
  list(JOIN lines "\n" lines)
  file(WRITE ${CMAKE_BINARY_DIR}/wine-env.sh "${lines}\n")
endif()

if(ELEMTRIX_TESTS AND WIN32)
  add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${ELEMTRIX_WINEPREFIX})
  # A persistent server with Wine's own services started away from CTest's pipe: otherwise
  # they inherit it from the first test and CTest waits for them.
  add_test(NAME wine_server
           COMMAND sh -c "wineserver -p 60 </dev/null >/dev/null 2>&1; wine wineboot </dev/null >/dev/null 2>&1")
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix
                       ENVIRONMENT "${ELEMTRIX_WINE_ENV}")
  set_tests_properties(wine_server PROPERTIES FIXTURES_SETUP wine FIXTURES_REQUIRED wine_prefix
                       ENVIRONMENT "${ELEMTRIX_WINE_ENV}")
endif()

# The sound card of the Windows tests: a private PulseAudio server per test
# (scripts/sound-jig.sh), reached by Wine's winmm, in a Wine prefix of its own. One test at a
# time uses it, since each stops the prefix's Wine server when it ends.
if(ELEMTRIX_TESTS AND WIN32)
  set(ELEMTRIX_SOUND_PREFIX ${CMAKE_BINARY_DIR}/sound/wine)
  list(TRANSFORM ELEMTRIX_WINE_ENV REPLACE "^WINEPREFIX=.*$" "WINEPREFIX=${ELEMTRIX_SOUND_PREFIX}"
       OUTPUT_VARIABLE ELEMTRIX_SOUND_ENV)
  add_test(NAME sound_prefix
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${ELEMTRIX_SOUND_PREFIX})
  set_tests_properties(sound_prefix PROPERTIES FIXTURES_SETUP sound_prefix RESOURCE_LOCK sound_jig
                       ENVIRONMENT "${ELEMTRIX_SOUND_ENV}" TIMEOUT 300)
endif()

# sound_jig_test(NAME COMMAND...): the command run with the private sound card.
function(sound_jig_test name)
  add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/sound-jig.sh
                                ${CMAKE_BINARY_DIR}/sound/${name} ${ARGN})
  # Alone: sound runs in real time, and a test beside it may make a Wine thread late.
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED sound_prefix RUN_SERIAL TRUE
                       ENVIRONMENT "${ELEMTRIX_SOUND_ENV}" TIMEOUT 120)
endfunction()

# elemtrix_add_test(NAME [SOUND_JIG] SOURCES... LIBS ...); SOUND_JIG: run with the private
# sound card, in the Windows tree.
function(elemtrix_add_test name)
  if(NOT ELEMTRIX_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "SOUND_JIG" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  elemtrix_include_root(${name})
  if(T_SOUND_JIG)
    sound_jig_test(${name} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>
                   --gtest_filter=-WithoutDevices.*)
  elseif(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${ELEMTRIX_WINE_ENV}"
                         TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()
