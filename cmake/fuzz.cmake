# libFuzzer targets: one executable per tests/fuzz/Fuzz*.cpp, with the
# portable modules and the packaging tool's RAR 2.0 encoder rebuilt under
# ASan and UBSan.
set(san -fsanitize=address,undefined -fno-sanitize-recover=undefined)
target_compile_options(tarv_portable PRIVATE ${san} -fsanitize=fuzzer-no-link -g -O1)
file(GLOB rar20_sources CONFIGURE_DEPENDS tools/TarvPack/Rar20*.cpp)
add_library(tarvpack_rar20 STATIC ${rar20_sources})
target_include_directories(tarvpack_rar20 PUBLIC tools/TarvPack src)
target_compile_options(tarvpack_rar20 PRIVATE ${san} -fsanitize=fuzzer-no-link -g -O1)
file(GLOB fuzz_sources CONFIGURE_DEPENDS tests/fuzz/Fuzz*.cpp)
foreach(src ${fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${san} -fsanitize=fuzzer -g -O1)
    target_link_options(${name} PRIVATE ${san} -fsanitize=fuzzer)
    target_link_libraries(${name} tarvpack_rar20 tarv_portable)
endforeach()
