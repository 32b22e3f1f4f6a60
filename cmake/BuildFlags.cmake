# Compiler and linker settings shared by every target.

# Hardening. ASLR with relocations kept (and 64-bit addresses above 4 GiB on
# x86_64), DEP, and canaries in functions with arrays or address-taken locals.
# The stack protector's runtime (libssp) is linked statically like the rest.
add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_link_options(-Wl,--high-entropy-va)
endif()

# Reproducible output: no link time stamp in the PE header, no absolute source
# or build paths in the objects, archives without dates, owners or modes.
add_compile_options(
  "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
add_link_options(-Wl,--no-insert-timestamp)
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

# Size: every function and datum in its own section, so the linker can drop
# whatever nothing refers to.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
# Optimised for size: the shell's time goes to the network, the disk and the
# system's hashing, not to its own code.
add_compile_options(-Os)
