# Cross toolchain for the shipped product: 32-bit Windows, MinGW-w64 (posix thread
# model, so that GoogleTest builds; the runtime is linked statically).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${CV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
