# DLL planting under Wine (outer Windows tree): a library that leaves a marker when it is
# loaded, planted beside the real Setup.exe under the names of system libraries, and a
# probe that shows which of those names Wine takes from beside a program at all.
# tests/planting/wine-planting runs a silent and a wizard installation with them.
add_library(cv_planted SHARED ${CMAKE_CURRENT_LIST_DIR}/PlantedLibrary.cpp)
set_target_properties(cv_planted PROPERTIES PREFIX "")

add_executable(plant_probe ${CMAKE_CURRENT_LIST_DIR}/PlantProbe.cpp
                           ${CMAKE_CURRENT_LIST_DIR}/PlantProbe.rc)
target_include_directories(plant_probe PRIVATE ${CMAKE_SOURCE_DIR}/app/Setup/res)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/PlantProbe.rc PROPERTIES OBJECT_DEPENDS
                            ${CMAKE_SOURCE_DIR}/app/Setup/res/Setup.manifest)
target_link_libraries(plant_probe PRIVATE comctl32 ole32 oleaut32 shlwapi shell32 advapi32 gdi32
                                          user32)
target_compile_options(plant_probe PRIVATE -municode)
target_link_options(plant_probe PRIVATE -municode)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET Setup)
    add_test(NAME planting_e2e_wine
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-planting $<TARGET_FILE:Setup>
                     $<TARGET_FILE:wizard_driver> $<TARGET_FILE:cv_planted>
                     $<TARGET_FILE:plant_probe> ${CMAKE_CURRENT_BINARY_DIR}/e2e-planting)
    set_tests_properties(planting_e2e_wine PROPERTIES TIMEOUT 600 COST 40)
endif()
