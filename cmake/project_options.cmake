# Compiler settings shared by every target of the project's own code.

# Levels and angles must come out the same in both DLLs and in the native
# tests: 64-bit doubles throughout, no x87 80-bit intermediates on i686, and
# no fused multiply-adds that would round differently.
add_compile_options(-ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

# Warnings are errors in our own targets only; third-party code (GoogleTest)
# keeps its own flags.
function(vlvis_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wundef -Werror)
endfunction()

# The plug-in's own code runs inside the player: it throws nothing and asks
# no type at run time, so neither the unwinding machinery nor type records
# need to ride along in the DLL.
function(vlvis_plugin_code target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

# Windows executables and the DLL carry libgcc, libstdc++ and winpthread
# inside them, so nothing but system DLLs has to sit beside them.
function(vlvis_static_runtime target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# Two builds of one commit give the same bytes wherever and whenever they
# run (the release check builds twice and compares): no checkout or build
# folder in the objects (the build folder's map comes last, so it wins for
# paths inside both), no link time in the PE headers, and a fixed base for
# the product DLL, which ld would otherwise derive from a hash of the output
# path as the generator spells it.
if(WIN32)
  add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
function(vlvis_fixed_image_base target)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
    # The base the released DLL has had so far.
    target_link_options(${target} PRIVATE LINKER:--image-base,0x63500000)
  endif()
endfunction()
