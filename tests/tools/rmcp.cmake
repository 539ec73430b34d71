velquor_add_test(tst_velquorcheck_rmcp SOURCES ${CMAKE_CURRENT_LIST_DIR}/rmcp_check.cpp LIBS velquor_rmcp velquor_test_support)
target_compile_definitions(tst_velquorcheck_rmcp PRIVATE VELQUOR_CHECK_BINARY="$<TARGET_FILE:velquor-check>")
add_dependencies(tst_velquorcheck_rmcp velquor-check)
