# Cross toolchain for the Wine test build: the product's sources built 64-bit so that they run under 64-bit Wine (never shipped).
#
# MinGW-w64 comes in two thread models. The product is built with the win32 model: with
# the posix model, libstdc++ and the unwinder pull in winpthreads, which imports
# GetTickCount64 and so would not load on Windows XP. GoogleTest needs std::mutex, which
# only the posix model has, so the GoogleTest programs are built in an inner tree
# (CV_WINDOWS_TESTS_ONLY) with the posix compilers; everything there is linked statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CV_MINGW_TRIPLE x86_64-w64-mingw32)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CV_WINDOWS_TESTS_ONLY)
if(CV_WINDOWS_TESTS_ONLY)
    set(CV_MINGW_THREADS posix)
else()
    set(CV_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER ${CV_MINGW_TRIPLE}-gcc-${CV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${CV_MINGW_TRIPLE}-g++-${CV_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${CV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
