# The libFuzzer harnesses (host, clang, CV_FUZZ): each drives the program's own code over
# the simulated Windows. Their seeds are tests/fuzz/seeds/<harness>/, an optional
# dictionary tests/fuzz/<harness>.dict; the corpus a run grows is build/<preset>/fuzz/<harness>.
# Each one is a ctest case that replays the seeds and fuzzes for CV_FUZZ_SMOKE_SECONDS;
# scripts/fuzz runs them for longer.
set(CV_FUZZ_SMOKE_SECONDS 5 CACHE STRING "How long each harness fuzzes in the test run")
set(CV_FUZZ_HARNESSES command_line config_file filter_list driver_replies agreement hotfix)
set(CV_FUZZ_SOURCE_command_line CommandLineFuzz.cpp)
set(CV_FUZZ_SOURCE_config_file ConfigFileFuzz.cpp)
set(CV_FUZZ_SOURCE_filter_list FilterListFuzz.cpp)
set(CV_FUZZ_SOURCE_driver_replies DriverReplyFuzz.cpp)
set(CV_FUZZ_SOURCE_agreement AgreementFuzz.cpp)
set(CV_FUZZ_SOURCE_hotfix HotfixFuzz.cpp)

foreach(name ${CV_FUZZ_HARNESSES})
    set(target fuzz_${name})
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${CV_FUZZ_SOURCE_${name}})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${target} PRIVATE cv_setup cv_setup_res_embedded cv_platform_sim)

    set(corpus ${CMAKE_BINARY_DIR}/fuzz/${name})
    file(MAKE_DIRECTORY ${corpus})
    set(options -max_total_time=${CV_FUZZ_SMOKE_SECONDS} -seed=1 -print_final_stats=1)
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${name}.dict)
        list(APPEND options -dict=${CMAKE_CURRENT_LIST_DIR}/${name}.dict)
    endif()
    add_test(NAME ${target}
             COMMAND ${target} ${options} -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/${name}-
                     ${corpus} ${CMAKE_CURRENT_LIST_DIR}/seeds/${name})
    set_tests_properties(${target} PROPERTIES LABELS fuzz TIMEOUT 300)
endforeach()
