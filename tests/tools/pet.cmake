# velquor-check --pet, run as a program.
velquor_add_test(tst_velquorcheck_pet SOURCES ${CMAKE_CURRENT_LIST_DIR}/pet_check.cpp LIBS velquor_pet_widgets velquor_test_support)
target_include_directories(tst_velquorcheck_pet PRIVATE ${PROJECT_SOURCE_DIR}/tests/pet)
target_compile_definitions(tst_velquorcheck_pet PRIVATE VELQUOR_CHECK_BINARY="$<TARGET_FILE:velquor-check>")
add_dependencies(tst_velquorcheck_pet velquor-check)
