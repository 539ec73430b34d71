target_sources(velquor-check PRIVATE ${CMAKE_CURRENT_LIST_DIR}/rmcpchecker.cpp)
target_link_libraries(velquor-check PRIVATE velquor_rmcp_widgets)
