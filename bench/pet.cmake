# Bursts of PET traps over loopback UDP into the listener, beside a raw
# receive loop as the limit.
add_executable(bench_pet_burst ${CMAKE_CURRENT_LIST_DIR}/pet_burst.cpp)
target_include_directories(bench_pet_burst PRIVATE ${PROJECT_SOURCE_DIR}/tests/pet)
target_link_libraries(bench_pet_burst PRIVATE velquor_pet_widgets)
