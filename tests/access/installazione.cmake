# The install step: the first install places the guide and the initial
# password store; a later one replaces the guide and keeps the store.
#   cmake -DCARTELLA_BUILD=<build folder> -P installazione.cmake
set(prefisso "${CARTELLA_BUILD}/prova-installazione")
file(REMOVE_RECURSE "${prefisso}")

function(installa)
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${CARTELLA_BUILD}" --prefix "${prefisso}"
                  RESULT_VARIABLE esito OUTPUT_QUIET)
  if(NOT esito EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${esito}")
  endif()
endfunction()

# Byte for byte.
function(verifica file atteso)
  file(READ "${prefisso}/${file}" letto HEX)
  string(HEX "${atteso}" atteso)
  if(NOT letto STREQUAL atteso)
    message(FATAL_ERROR "${file}: expected [${atteso}], found [${letto}]")
  endif()
endfunction()

installa()
verifica(unins000.dll "[Accesso]\nValore=500840A064C7DEC4B459067FF3C8\n")
file(READ "${prefisso}/Guida.pdf" inizio LIMIT 4 HEX)
if(NOT inizio STREQUAL "25504446") # %PDF
  message(FATAL_ERROR "Guida.pdf is not a PDF")
endif()

# The user's password and an old guide: the store stays, the guide is new.
file(WRITE "${prefisso}/unins000.dll" "[Accesso]\r\nValore=4142\r\n")
file(WRITE "${prefisso}/Guida.pdf" "vecchia guida")
installa()
verifica(unins000.dll "[Accesso]\r\nValore=4142\r\n")
file(READ "${prefisso}/Guida.pdf" inizio LIMIT 4 HEX)
if(NOT inizio STREQUAL "25504446") # %PDF
  message(FATAL_ERROR "an old Guida.pdf was not replaced")
endif()
file(REMOVE_RECURSE "${prefisso}")
