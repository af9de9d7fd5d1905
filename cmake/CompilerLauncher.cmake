# A compiler launcher (CMAKE_<LANG>_COMPILER_LAUNCHER, e.g. ccache) is optional: a build tree
# remembers the one it was first configured with, and one that this machine lacks would stop
# every later configure of the tree at the compiler check, whichever script runs it. Included
# before project(): a launcher that cannot be found, remembered or given in the environment,
# is dropped with a warning and the compilers run directly.
foreach(lang C CXX)
    set(launcher "${CMAKE_${lang}_COMPILER_LAUNCHER}")
    set(from "given to cmake or remembered by the build tree")
    if(launcher STREQUAL "" AND DEFINED ENV{CMAKE_${lang}_COMPILER_LAUNCHER})
        set(launcher "$ENV{CMAKE_${lang}_COMPILER_LAUNCHER}")
        set(from "from the environment")
    endif()
    if(launcher STREQUAL "")
        continue()
    endif()
    list(GET launcher 0 program)
    find_program(CV_LAUNCHER_FOUND_${lang} NAMES "${program}" NO_CACHE)
    if(NOT CV_LAUNCHER_FOUND_${lang})
        message(WARNING "The ${lang} compiler launcher \"${launcher}\" (${from}) is not "
                        "installed: building without it.")
        set(CMAKE_${lang}_COMPILER_LAUNCHER "" CACHE STRING "" FORCE)
        unset(ENV{CMAKE_${lang}_COMPILER_LAUNCHER})
    endif()
endforeach()
unset(launcher)
unset(from)
unset(program)
