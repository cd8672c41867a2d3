# Cross build of x64 UEFI images: clang emitting Microsoft-ABI COFF objects,
# linked by lld-link. No C library, no default libraries.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HDA_FIRMWARE_ARCH X64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_FLAGS_INIT "--target=x86_64-unknown-windows -mno-red-zone")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CXX_LINK_EXECUTABLE "lld-link /nologo <LINK_FLAGS> <OBJECTS> /out:<TARGET>")
