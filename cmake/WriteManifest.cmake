# cmake -DDIR=<folder> -DFILES=<name,name,...> -P WriteManifest.cmake
# Writes DIR/MANIFEST: one line per file with its size and SHA-256.
string(REPLACE "," ";" FILES "${FILES}")
set(text "# file bytes sha256\n")
foreach(name IN LISTS FILES)
  file(SIZE ${DIR}/${name} size)
  file(SHA256 ${DIR}/${name} hash)
  string(APPEND text "${name} ${size} ${hash}\n")
endforeach()
file(WRITE ${DIR}/MANIFEST "${text}")
