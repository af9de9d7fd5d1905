# The real Setup.exe under Wine (outer Windows tree): wizard_driver.exe walks the wizard
# through window messages like a user and captures every page; the tests run it and the
# silent mode in a scratch product folder. Only the x86_64 build runs here.
add_executable(wizard_driver ${CMAKE_CURRENT_LIST_DIR}/WizardDriver.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/Png.cpp)
target_link_libraries(wizard_driver PRIVATE cv_base gdi32 user32 shell32)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET Setup)
    foreach(mode wizard wizard-zh silent restart-later)
        add_test(NAME ${mode}_e2e_wine
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-e2e ${mode}
                         $<TARGET_FILE:Setup> $<TARGET_FILE:wizard_driver>
                         ${CMAKE_CURRENT_BINARY_DIR}/e2e-${mode})
        # All install into the same prefix: the driver file's copy is checked each time.
        set_tests_properties(${mode}_e2e_wine PROPERTIES TIMEOUT 300 RESOURCE_LOCK wine_setup)
    endforeach()
endif()

# The version the System port's adapter reports under Setup.exe's manifest, and without it,
# for the Wine runs that set Wine's Windows version.
add_executable(version_probe ${CMAKE_CURRENT_LIST_DIR}/VersionProbe.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/VersionProbe.rc)
target_include_directories(version_probe PRIVATE ${CMAKE_SOURCE_DIR}/app/Setup/res)
target_link_libraries(version_probe PRIVATE cv_platform_win32)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/VersionProbe.rc PROPERTIES OBJECT_DEPENDS
                            ${CMAKE_SOURCE_DIR}/app/Setup/res/Setup.manifest)
add_executable(version_probe_bare ${CMAKE_CURRENT_LIST_DIR}/VersionProbe.cpp)
target_link_libraries(version_probe_bare PRIVATE cv_platform_win32)

# The prerequisite checks of the real Setup.exe under Wine, one case per run, each in its
# own copy of a prefix initialised once (tests/e2e/wine-checks): Wine's Windows version set
# to 2000, 7 and 10, the main interface's stand-in holding its mutex, the Warden's
# stand-in window, and the version table of every Windows Wine can pretend to be.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET Setup)
    foreach(case win2k win2k-silent win7-no win7-yes win10 main-interface warden versions)
        add_test(NAME checks_${case}_e2e_wine
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-checks ${case}
                         ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                         ${CMAKE_CURRENT_BINARY_DIR}/e2e-checks-${case})
        set_tests_properties(checks_${case}_e2e_wine PROPERTIES TIMEOUT 300)
    endforeach()
endif()
