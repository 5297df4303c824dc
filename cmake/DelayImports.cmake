# Delay-load import libraries for the system DLLs that Update.exe must load
# from System32 only (see docs/dll-loading.md): delay_import_library(winhttp)
# defines the imported library winhttp_delay, built from the toolchain's
# libwinhttp.a. A program that links it instead of winhttp loads winhttp.dll
# on its first call, through the toolchain's delay-load helper and the hook
# of src/app/system_dlls_win.cpp.
set(delay_import_script ${CMAKE_CURRENT_LIST_DIR}/make-delay-import.cmake)

function(delay_import_library name)
  find_library(${name}_import_library NAMES ${name} REQUIRED)
  set(output ${CMAKE_BINARY_DIR}/delay-imports/lib${name}_delay.a)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delay-imports
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
            -DIMPORT_LIBRARY=${${name}_import_library} -DDLL=${name}.dll -DOUTPUT=${output}
            -P ${delay_import_script}
    DEPENDS ${${name}_import_library} ${delay_import_script}
    COMMENT "Delay-load import library for ${name}.dll")
  add_custom_target(${name}_delay_generated DEPENDS ${output})
  add_library(${name}_delay STATIC IMPORTED GLOBAL)
  set_target_properties(${name}_delay PROPERTIES IMPORTED_LOCATION ${output})
  add_dependencies(${name}_delay ${name}_delay_generated)
endfunction()
