# Delay-load import libraries. A statically imported DLL is resolved by the
# loader before any of our code runs, and so is whatever it imports or
# forwards to, through the standard search order, which starts with the
# directory of the exe: for a web installer that is the Downloads folder,
# where anyone can drop a winhttp.dll or a version.dll. Delay-loaded DLLs are
# resolved on first call instead, through the shell's hook, by full path.
#
# zrq_delay_import(<target> <dll base name>...) creates the INTERFACE library
# <target> that links delay-load stubs made by dlltool from cmake/delayload/*.def.

find_program(ZRQ_DLLTOOL NAMES ${ZRQ_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(ZRQ_OBJCOPY NAMES ${ZRQ_MINGW_TRIPLE}-objcopy REQUIRED)

# Why the stubs' code section is renamed. Each member dlltool writes for a
# function holds, in its .text, the jump thunk `jmp *__imp_X` and the
# lazy-binding code that the function's address-table slot points at until the
# first call (`mov $slot, %eax; jmp __tailMerge_<dll>`). GNU ld's i386 PE
# emulation drops, from every import-library member, a code section with
# relocations whose symbols nothing references: it takes it for an unused jump
# thunk. Code that calls through `__imp_X` (every function its header declares
# dllimport) references only the slot, so the section went, the slot's
# relocation resolved to 0 and the first call jumped to address 0. (The x86_64
# emulation has no such pass.) A section not marked as code is never taken for
# a thunk; its bytes still land in .text (ld places .text$* there), which is
# executable as a whole. So the stubs a link pulls in keep their code, and the
# ones it does not pull in stay out, on both architectures.

function(zrq_delay_import target)
  set(outputs)
  set(out_dir "${CMAKE_BINARY_DIR}/delayload")
  file(MAKE_DIRECTORY "${out_dir}")
  foreach(name IN LISTS ARGN)
    set(source "${PROJECT_SOURCE_DIR}/cmake/delayload/${name}.def")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    # The definitions carry 32-bit stdcall decorations; 64-bit code has none.
    file(READ "${source}" text)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    endif()
    set(def "${out_dir}/${name}.def")
    file(GENERATE OUTPUT "${def}" CONTENT "${text}")
    set(lib "${out_dir}/lib${name}-delay.a")
    # --kill-at: the stubs keep the decorated symbols, the DLL exports plain
    # names. dlltool names its symbols after the output path: relative it is.
    add_custom_command(OUTPUT "${lib}"
      COMMAND "${ZRQ_DLLTOOL}" --kill-at --input-def "${name}.def"
              --dllname "${name}.dll" --output-delaylib "lib${name}-delay.a"
      COMMAND "${ZRQ_OBJCOPY}" --enable-deterministic-archives
              "--rename-section" ".text=.text$zdelay,contents,alloc,load,readonly,data"
              "lib${name}-delay.a"
      DEPENDS "${def}"
      WORKING_DIRECTORY "${out_dir}"
      COMMENT "Delay-load stubs for ${name}.dll"
      VERBATIM)
    list(APPEND outputs "${lib}")
  endforeach()
  add_custom_target(${target}_stubs DEPENDS ${outputs})
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_stubs)
  target_link_libraries(${target} INTERFACE ${outputs})
endfunction()
