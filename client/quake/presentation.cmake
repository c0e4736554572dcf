# Quake and tsunami bulletins: records, texts, maps, windows and ticker.
add_library(orva_quake STATIC
  ${CMAKE_CURRENT_LIST_DIR}/quake_assets.h
  ${CMAKE_CURRENT_LIST_DIR}/bulletin_screens.h
  ${CMAKE_CURRENT_LIST_DIR}/quake_text.cpp ${CMAKE_CURRENT_LIST_DIR}/quake_text.h
  ${CMAKE_CURRENT_LIST_DIR}/intensity_map.cpp ${CMAKE_CURRENT_LIST_DIR}/intensity_map.h
  ${CMAKE_CURRENT_LIST_DIR}/coast_map.cpp ${CMAKE_CURRENT_LIST_DIR}/coast_map.h
  ${CMAKE_CURRENT_LIST_DIR}/map_view.cpp ${CMAKE_CURRENT_LIST_DIR}/map_view.h
  ${CMAKE_CURRENT_LIST_DIR}/quake_window.cpp ${CMAKE_CURRENT_LIST_DIR}/quake_window.h
  ${CMAKE_CURRENT_LIST_DIR}/ticker.cpp ${CMAKE_CURRENT_LIST_DIR}/ticker.h
  ${CMAKE_CURRENT_LIST_DIR}/tsunami_window.cpp ${CMAKE_CURRENT_LIST_DIR}/tsunami_window.h
  ${CMAKE_CURRENT_LIST_DIR}/bulletin_widgets.cpp ${CMAKE_CURRENT_LIST_DIR}/bulletin_widgets.h
  ${CMAKE_CURRENT_LIST_DIR}/quake_record.cpp ${CMAKE_CURRENT_LIST_DIR}/quake_record.h
  ${CMAKE_CURRENT_LIST_DIR}/tsunami_record.cpp ${CMAKE_CURRENT_LIST_DIR}/tsunami_record.h
)
target_include_directories(orva_quake PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(orva_quake PUBLIC orva_quake_tables orva_core Qt6::Gui Qt6::Widgets)
