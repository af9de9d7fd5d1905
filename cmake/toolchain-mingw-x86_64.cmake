# Cross toolchain for the Wine test build: the same sources as the product, built
# 64-bit so that they run under 64-bit Wine. Never shipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
