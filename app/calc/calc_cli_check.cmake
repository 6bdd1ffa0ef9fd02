# Runs elemtrix-calc once and checks what it did; `cmake -P` script for the command-line tests.
#   CALC       the program; EMULATOR runs it where it cannot run directly (Wine)
#   ARGS       its arguments, separated by "|"
#   RC         the exit status expected
#   OUT_HAS, ERR_HAS   texts that stdout / stderr must contain, separated by "|"
#   OUT_LACKS  texts that stdout must not contain, separated by "|"
#   GOLDEN     a file whose bytes stdout must equal
#   FILE, FILE_GOLDEN  a file the run writes and the file whose bytes it must equal
#   NO_FILE    a file the run must not write
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
if(NO_FILE)
  file(REMOVE "${NO_FILE}")
endif()
if(FILE)
  file(REMOVE "${FILE}")
endif()
execute_process(COMMAND ${emulator} ${CALC} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc STREQUAL RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()

function(expect_texts stream text have)
  string(REPLACE "|" ";" items "${text}")
  foreach(item IN LISTS items)
    string(FIND "${${stream}}" "${item}" at)
    if(have AND at EQUAL -1)
      message(FATAL_ERROR "${stream} lacks \"${item}\":\n${${stream}}")
    elseif(NOT have AND NOT at EQUAL -1)
      message(FATAL_ERROR "${stream} has \"${item}\":\n${${stream}}")
    endif()
  endforeach()
endfunction()
expect_texts(out "${OUT_HAS}" TRUE)
expect_texts(err "${ERR_HAS}" TRUE)
expect_texts(out "${OUT_LACKS}" FALSE)

function(expect_same produced golden)
  file(SHA256 "${produced}" got)
  file(SHA256 "${golden}" want)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${produced} differs from ${golden}")
  endif()
endfunction()
if(GOLDEN)
  get_filename_component(name "${GOLDEN}" NAME)
  file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/${name}.out" "${out}")
  expect_same("${CMAKE_CURRENT_BINARY_DIR}/${name}.out" "${GOLDEN}")
endif()
if(FILE)
  expect_same("${FILE}" "${FILE_GOLDEN}")
endif()
if(NO_FILE AND EXISTS "${NO_FILE}")
  message(FATAL_ERROR "${NO_FILE} was written")
endif()
