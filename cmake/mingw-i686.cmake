# Cross build for 32-bit Windows with mingw-w64 (Debian g++-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(tool_prefix i686-w64-mingw32)
# Debian ships a -posix and a -win32 thread model; the posix one gives
# std::thread and std::mutex, and -static folds winpthread into the program.
find_program(CMAKE_C_COMPILER NAMES ${tool_prefix}-gcc-posix ${tool_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${tool_prefix}-g++-posix ${tool_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${tool_prefix}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${tool_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything is linked into the one program: no libgcc, libstdc++ or
# winpthread DLL may sit beside it, since the updater replaces files there.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
