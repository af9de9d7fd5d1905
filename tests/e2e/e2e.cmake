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
