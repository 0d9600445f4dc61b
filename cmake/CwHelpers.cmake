# cw_add_test(NAME name SOURCES ... LIBS ... LABELS ... [ENV ...] [TIMEOUT s])
# A Qt Test executable registered with CTest. Label "unit" marks tests that also run in the sanitizer build;
# "widget" tests run on the offscreen platform; "e2e" tests need the headless desktop of tools/headless.sh.
function(cw_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set(env ${T_ENV})
    if(NOT "e2e" IN_LIST T_LABELS AND NOT "audio" IN_LIST T_LABELS)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${env}")
endfunction()

# cw_add_fuzz_target(NAME name SOURCES ... LIBS ... CORPUS dir...)
# A parser fuzz target: with CW_FUZZ (clang) a libFuzzer binary; always a replay test that feeds every file of
# the corpus folders to the same entry point, so inputs that once broke a parser are re-run on every test run.
function(cw_add_fuzz_target)
    cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;CORPUS" ${ARGN})
    add_executable(${F_NAME}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS})
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME}_replay ${F_CORPUS})
    set_tests_properties(${F_NAME}_corpus PROPERTIES LABELS "unit;fuzz" TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    if(CW_FUZZ)
        add_executable(${F_NAME} ${F_SOURCES})
        target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    endif()
endfunction()

# cw_layer_headers(target FOLDER folder)
# Gives a library's headers (the .h files among the sources it lists) to the code that links it, and to nothing
# else: they are reached as "<folder>/<name>" through an include folder of the target's own in the build tree,
# which holds links to just those headers. No library has the source root on its include path, so code that
# includes a header of a layer it does not link fails to compile.
function(cw_layer_headers target)
    cmake_parse_arguments(L "" "FOLDER" "" ${ARGN})
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${L_FOLDER})
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.h$")
    foreach(header IN LISTS sources)
        get_filename_component(name ${header} NAME)
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${L_FOLDER}/${name} ${root}/${L_FOLDER}/${name} SYMBOLIC)
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
