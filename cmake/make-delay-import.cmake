# cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIBRARY=libX.a -DDLL=X.dll -DOUTPUT=libX_delay.a -P make-delay-import.cmake
#
# A delay-load import library with every function of a mingw-w64 import
# library: the export list is read from the import library's __imp_ symbols
# (decorated for i686, so --kill-at gives the DLL's undecorated names), and
# dlltool writes thunks that load the DLL on the first call through the
# toolchain's delay-load helper.
foreach(var NM DLLTOOL IMPORT_LIBRARY DLL OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make-delay-import.cmake: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
# "00000000 I __imp__WinHttpOpen@20": i686 C names carry one underscore of
# their own after the __imp_ prefix.
string(REGEX MATCHALL "[ \t]I __imp__[^\r\n]+" imports "${symbols}")
set(exports "")
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^[ \t]I __imp__" "" name "${import}")
  string(APPEND exports "${name}\n")
endforeach()
if(exports STREQUAL "")
  message(FATAL_ERROR "no imports found in ${IMPORT_LIBRARY}")
endif()

get_filename_component(folder ${OUTPUT} DIRECTORY)
get_filename_component(base ${OUTPUT} NAME_WE)
set(def ${folder}/${base}.def)
file(WRITE ${def} "LIBRARY \"${DLL}\"\nEXPORTS\n${exports}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${def} --dllname ${DLL} --output-delaylib ${OUTPUT}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${DLLTOOL} could not write ${OUTPUT}")
endif()
