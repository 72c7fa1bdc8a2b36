# The window (Qt 6 Widgets): a static library, so the tests can drive the
# real window, and the program `vorlex` in the build's root directory.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(vorlex_window STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/main_window.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/main_window.h
  ${PROJECT_SOURCE_DIR}/output/result_page_view.cpp
  ${PROJECT_SOURCE_DIR}/output/result_page_view.h
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/vorlex.qrc
)
set_target_properties(vorlex_window PROPERTIES AUTOMOC ON AUTORCC ON)
target_link_libraries(vorlex_window PUBLIC vorlex_core Qt6::Widgets)

add_executable(vorlex ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(vorlex PRIVATE vorlex_window)
set_target_properties(vorlex PROPERTIES
  AUTOMOC ON
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
