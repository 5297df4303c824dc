# Source sets by file name, so that adding a file needs no build edit:
#   name.cpp        portable core: no <windows.h>; built for Windows and natively
#   name_win.cpp    Windows only
#   name_posix.cpp  native (Linux) build only: stands in for a Windows service
function(update_sources out_var)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp)
    foreach(f IN LISTS files)
      if(f MATCHES "_win(_test)?\\.cpp$")
        if(WIN32)
          list(APPEND result ${f})
        endif()
      elseif(f MATCHES "_posix(_test)?\\.cpp$")
        if(NOT WIN32)
          list(APPEND result ${f})
        endif()
      else()
        list(APPEND result ${f})
      endif()
    endforeach()
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()
