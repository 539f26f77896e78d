# PellwickLink.exe under Wine: registration, links opened through the shell under code pages
# 936 and 932, the refused links, and unregistration (link_handler_test.py). Links are minted
# with the native pellwick-link and the build's launch key, which ./dev makes.
add_executable(open_link open_link.cpp)
target_include_directories(open_link PRIVATE ${PROJECT_SOURCE_DIR}/platform)
target_link_options(open_link PRIVATE -municode)
target_link_libraries(open_link PRIVATE shell32 tavrel_warnings)

if(PELLWICK_LAUNCH_KEY)
  get_filename_component(launch_keys ${PELLWICK_LAUNCH_KEY} DIRECTORY)
  add_test(NAME ${TAVREL_WINE}.link_handler
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/link_handler_test.py
      --wine-run ${CMAKE_CROSSCOMPILING_EMULATOR}
      --handler $<TARGET_FILE:PellwickLink> --open-link $<TARGET_FILE:open_link>
      --reader-stub $<TARGET_FILE:reader_stub> --uidriver $<TARGET_FILE:uidriver>
      --mint ${PROJECT_SOURCE_DIR}/build/native/bin/pellwick-link
      --key ${launch_keys}/launch-key.pem)
  math(EXPR timeout "600 * ${TAVREL_WINE_TIME_FACTOR}")
  set_tests_properties(${TAVREL_WINE}.link_handler PROPERTIES LABELS ${TAVREL_WINE}
    TIMEOUT ${timeout} RESOURCE_LOCK tavrel_reader_process
    ENVIRONMENT TAVREL_WINE_TIME_FACTOR=${TAVREL_WINE_TIME_FACTOR})
endif()
