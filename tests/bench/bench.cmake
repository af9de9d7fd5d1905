# scripts/bench's floor (outer Windows tree): a windowed program that initialises the
# common controls and COM and exits, with Setup.exe's manifest.
add_executable(bench_floor WIN32 ${CMAKE_CURRENT_LIST_DIR}/Floor.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/Floor.rc)
target_compile_options(bench_floor PRIVATE -municode)
target_link_options(bench_floor PRIVATE -municode)
target_link_libraries(bench_floor PRIVATE comctl32 ole32)
target_include_directories(bench_floor PRIVATE ${CMAKE_SOURCE_DIR}/app/Setup/res)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Floor.rc PROPERTIES OBJECT_DEPENDS
                            ${CMAKE_SOURCE_DIR}/app/Setup/res/Setup.manifest)
