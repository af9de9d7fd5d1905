# The real Setup.exe under Wine (outer Windows tree): wizard_driver.exe walks the wizard
# through window messages like a user, answers the boxes and captures every page;
# e2e_inspect.exe reads back what the checks cannot read from the prefix's files. Only the
# x86_64 build runs here.
add_executable(wizard_driver ${CMAKE_CURRENT_LIST_DIR}/WizardDriver.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/Png.cpp)
target_link_libraries(wizard_driver PRIVATE cv_base gdi32 user32 shell32)

# Reads shell links back through IShellLinkW, and files' attributes, for the checks.
add_executable(e2e_inspect ${CMAKE_CURRENT_LIST_DIR}/Inspect.cpp)
target_link_libraries(e2e_inspect PRIVATE cv_base ole32 uuid shell32)

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

# The whole product installed by the real Setup.exe under Wine (tests/e2e/scenarios.py), one
# scenario per test, each in its own copy of a template prefix and on its own display, so
# that they run side by side (ctest -j). COST puts the longest first.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET Setup)
    set(CV_E2E_SCENARIOS
        silent silent-config wizard wizard-zh restart-later upgrade winxp vista win7 win7-no
        win2k win2k-silent main-interface driver-copy-fails log-unwritable versions check
        check-win2k check-win7 check-main-interface help help-zh)
    set(CV_E2E_LONG upgrade versions win7 wizard wizard-zh restart-later)
    foreach(scenario ${CV_E2E_SCENARIOS})
        add_test(NAME e2e_${scenario}_wine
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/scenarios.py ${scenario}
                         ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                         ${CMAKE_CURRENT_BINARY_DIR}/e2e-${scenario})
        set(cost 20)
        if(scenario IN_LIST CV_E2E_LONG)
            set(cost 40)
        endif()
        set_tests_properties(e2e_${scenario}_wine PROPERTIES TIMEOUT 400 COST ${cost})
    endforeach()
endif()
