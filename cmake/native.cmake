# Native Linux build: portable modules, their tests, benchmarks, host tools.
include(cmake/testing.cmake)

set(native_tests "")
foreach(dir config archive text)
    tarv_test_sources(srcs ${dir} ON)
    list(APPEND native_tests ${srcs})
endforeach()
file(GLOB support CONFIGURE_DEPENDS tests/support/Portable*.cpp)

add_executable(tarv_native_tests ${native_tests} ${support})
target_link_libraries(tarv_native_tests tarv_portable GTest::gtest_main)
target_include_directories(tarv_native_tests PRIVATE tests)
target_compile_definitions(tarv_native_tests PRIVATE
    TARV_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
add_test(NAME native_tests COMMAND tarv_native_tests)

file(GLOB bench_sources CONFIGURE_DEPENDS tools/bench/*.cpp)
foreach(src ${bench_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} tarv_portable)
endforeach()

if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/tools.cmake)
    include(cmake/tools.cmake)
endif()
