# PET checker of velquor-check: the listener's receive path, offline.
target_sources(velquor-check PRIVATE ${CMAKE_CURRENT_LIST_DIR}/petchecker.cpp)
target_link_libraries(velquor-check PRIVATE velquor_pet_widgets)
