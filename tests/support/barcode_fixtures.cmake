# The zint/zxing fixture library, shared by the barcode and crop tests, the
# barcode benchmark and the fuzz seed maker.
if(NOT TARGET lr_test_support)
  add_library(lr_test_support INTERFACE)
  target_include_directories(lr_test_support INTERFACE ${CMAKE_CURRENT_LIST_DIR}/..)
endif()
if(NOT TARGET lr_barcode_fixtures)
  find_library(ZINT_LIBRARY zint REQUIRED)
  find_library(ZXING_LIBRARY ZXing REQUIRED)
  add_library(lr_barcode_fixtures STATIC ${CMAKE_CURRENT_LIST_DIR}/barcode_fixtures.cpp)
  target_link_libraries(lr_barcode_fixtures PUBLIC lr_test_support ${ZINT_LIBRARY} ${ZXING_LIBRARY})
  target_compile_definitions(lr_barcode_fixtures PUBLIC ZX_USE_UTF8)
endif()
