# libFuzzer targets: one executable per tests/fuzz/Fuzz*.cpp, with the
# portable modules rebuilt under ASan and UBSan.
set(san -fsanitize=address,undefined -fno-sanitize-recover=undefined)
target_compile_options(tarv_portable PRIVATE ${san} -fsanitize=fuzzer-no-link -g -O1)
file(GLOB fuzz_sources CONFIGURE_DEPENDS tests/fuzz/Fuzz*.cpp)
foreach(src ${fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${san} -fsanitize=fuzzer -g -O1)
    target_link_options(${name} PRIVATE ${san} -fsanitize=fuzzer)
    target_link_libraries(${name} tarv_portable)
endforeach()
