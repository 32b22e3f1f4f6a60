# Compiler and linker settings of the native build (the channel toolkit and the
# native unit tests): optimised, hardened as Debian builds its own programs.
add_compile_options(-O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_link_options(-Wl,-z,relro -Wl,-z,now)
