# What administrators use for unattended deployments, with the real Setup.exe under Wine
# (tests/e2e/wine-admin): -silent -suppressmsgboxes -log: on Windows 7 without its updates,
# a failed driver copy answered unseen (1603), and a log that cannot be written. Each case in
# its own copy of the template prefix, so they may run side by side.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET Setup)
    foreach(case quiet-win7 quiet-no-driver log-unwritable)
        add_test(NAME admin_${case}_e2e_wine
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-admin ${case}
                         ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                         ${CMAKE_CURRENT_BINARY_DIR}/e2e-admin-${case})
        set_tests_properties(admin_${case}_e2e_wine PROPERTIES TIMEOUT 300)
    endforeach()
endif()
