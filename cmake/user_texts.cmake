# tavrel_user_texts: the header user_texts.h, every user text as a GBK constant texts::kNAME,
# made at build time from the UTF-8 table cmake/user_texts.txt by tools/user_texts.py.
set(user_texts_folder ${CMAKE_BINARY_DIR}/generated/user_texts)
add_custom_command(
  OUTPUT ${user_texts_folder}/user_texts.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${user_texts_folder}
  COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/user_texts.py
          ${PROJECT_SOURCE_DIR}/cmake/user_texts.txt ${user_texts_folder}/user_texts.h
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/user_texts.py ${PROJECT_SOURCE_DIR}/cmake/user_texts.txt
  COMMENT "Converting the user texts to GBK"
  VERBATIM)
add_custom_target(tavrel_user_texts_header DEPENDS ${user_texts_folder}/user_texts.h)
add_library(tavrel_user_texts INTERFACE)
target_include_directories(tavrel_user_texts INTERFACE ${user_texts_folder})
# An interface library's dependencies are followed by every target that links it.
add_dependencies(tavrel_user_texts tavrel_user_texts_header)
