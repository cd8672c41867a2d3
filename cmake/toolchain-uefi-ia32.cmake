# Cross build of IA32 PI images: clang emitting COFF objects with the C calling
# convention (EFIAPI on IA32), linked by lld-link.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HDA_FIRMWARE_ARCH IA32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_FLAGS_INIT "--target=i686-unknown-windows")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CXX_LINK_EXECUTABLE "lld-link /nologo <LINK_FLAGS> <OBJECTS> /out:<TARGET>")
